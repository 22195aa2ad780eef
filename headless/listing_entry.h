// Listings typed into the ZX81 through its own line entry, with the ROM as
// the judge of how a line reads; and programs written out as listings.
#pragma once

#include <string>

#include "listing.h"

struct Options;
struct Session;

// Reads a listing's text from a regular file or standard input ("-"), at
// most longest_listing bytes: no ZX81 program comes near it, and standard
// input may be a device that never ends. False, with the reason, when it
// cannot.
constexpr size_t longest_listing = 4 * 1024 * 1024;
bool read_listing_text(const std::string& path, std::string& text, std::string& problem);

// Types the listing in a line at a time: each line's codes go into the line
// being edited as they stand, and NEWLINE enters it, so the program is
// exactly what typing it gives (the ROM adds the numbers' values). A line
// the ZX81 refuses is tried in its other readings (a keyword read as a name,
// or the other way), and the first it takes is kept. Returns 0; 1 after a
// line that cannot be read, that the ZX81 takes in no reading, or that no
// longer fits in its memory; 2 when the listing cannot be read.
int type_listing(Session& session, const std::string& path, ListingStyle style);

// Prints the program file of the options as a listing in their style, the
// numbers' values checked against the ROM's own conversion. Returns the exit
// status: 0; 1 when its lines stop being well formed before its display
// file (what comes before is listed, and where it stops is said); 2 for a
// file that holds no program lines to list.
int print_listing(Session& session, const Options& options);
