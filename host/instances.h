// Which Orlix window this is, among those running at once for this user:
// the first free number, held by a lock for as long as the run lasts, so
// that two windows' titles tell them apart.
#pragma once

#include <string>

class InstanceNumber {
public:
    // Takes the lowest number from 1 up that no other running Orlix holds
    // (in $XDG_RUNTIME_DIR/orlix, else /tmp/orlix-UID); 0 when no lock can
    // be made there, which names no number.
    InstanceNumber();
    ~InstanceNumber();
    InstanceNumber(const InstanceNumber&) = delete;
    InstanceNumber& operator=(const InstanceNumber&) = delete;

    int number() const { return number_; }

private:
    int number_ = 0;
    int fd_ = -1;
};
