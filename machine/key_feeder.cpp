#include "key_feeder.h"

namespace {

uint64_t bit_of(ZxKey key) {
    return uint64_t{1} << (key.row * 5 + key.bit);
}

bool is_shift(ZxKey key) {
    return key.row == zx_key::shift.row && key.bit == zx_key::shift.bit;
}

bool shown_down(const KeyMatrix& keys, ZxKey key) {
    return !(keys[key.row] & (1 << key.bit));
}

void show(KeyMatrix& keys, ZxKey key, bool down) {
    if (down)
        keys[key.row] &= static_cast<uint8_t>(~(1 << key.bit));
    else
        keys[key.row] |= static_cast<uint8_t>(1 << key.bit);
}

// The rows that hold any of `mask`'s keys, as bits.
uint8_t rows_of(uint64_t mask) {
    uint8_t rows = 0;
    for (int row = 0; row < 8; ++row)
        if (mask & (uint64_t{0x1F} << (row * 5))) rows |= static_cast<uint8_t>(1 << row);
    return rows;
}

// The keys shown down other than SHIFT.
uint64_t keys_down(const KeyMatrix& keys) {
    uint64_t mask = 0;
    for (int row = 0; row < 8; ++row)
        for (int bit = 0; bit < 5; ++bit)
            if ((row != zx_key::shift.row || bit != zx_key::shift.bit) && !(keys[row] & (1 << bit)))
                mask |= uint64_t{1} << (row * 5 + bit);
    return mask;
}

void start_watching(KeyFeeder& f, const FeederMoment& m) {
    f.shown_at = m.now;
    f.saw_not_taken = m.debounce != debounce_taken;
    f.saw_ready = false;
    f.rom_took = f.missed = false;
    f.rows_read = 0;
}

void mark_taken(KeyFeeder& f, KeyTaker taker) {
    f.untaken = 0;
    f.last_taker = taker;
}

// Whether the untaken keys have been taken by now, and by whom.
KeyTaker taker_now(const KeyFeeder& f, const FeederMoment& m) {
    const bool held_enough = m.now - f.shown_at >= shortest_key_hold;
    if (!f.known_rom) return held_enough ? KeyTaker::program : KeyTaker::none;
    if (f.rom_took || (m.debounce == debounce_taken && f.saw_not_taken)) return KeyTaker::rom;
    if (!held_enough) return KeyTaker::none;
    if (f.rows_read & rows_of(f.untaken)) return KeyTaker::program;
    // Machine code of the program's own reads the keys as it likes (often
    // the ROM's LAST_K, which the display's scan keeps).
    if (m.pc >= 0x4000 && m.pc < 0x8000) return KeyTaker::program;
    return KeyTaker::none;
}

// Calls each key of `mask`.
template <typename Each>
void for_each_key(uint64_t mask, Each each) {
    for (int row = 0; row < 8; ++row)
        for (int bit = 0; bit < 5; ++bit)
            if (mask & (uint64_t{1} << (row * 5 + bit))) each(ZxKey{static_cast<uint8_t>(row), static_cast<uint8_t>(bit)});
}

// Whether a press may be shown now: the keys before it taken, SHIFT settled,
// the gap after the last release over, and the ROM's debounce ready for a
// new key (a key shown before would never be taken by the ROM while held),
// unless the program reads the keys itself.
bool may_press(const KeyFeeder& f, const FeederMoment& m) {
    if (f.untaken != 0 || m.now - f.shift_changed_at < shift_lead) return false;
    if (m.now - f.released_at < (f.slow ? shortest_slow_key_gap : shortest_key_gap)) return false;
    return !f.known_rom || m.debounce == debounce_ready || f.program_read_since_release;
}

// Shows the first waiting event if it may be shown; false when it must wait.
bool show_next(KeyFeeder& f, KeyMatrix& keys, const FeederMoment& m) {
    const ZxKeyEvent event = f.waiting.front();
    if (is_shift(event.key)) {
        // SHIFT goes up only once the key it shifted has been taken.
        if (!event.down && f.untaken != 0) return false;
        if (shown_down(keys, event.key) != event.down) f.shift_changed_at = m.now;
        show(keys, event.key, event.down);
        return true;
    }
    if (!event.down) {
        if (f.untaken & bit_of(event.key)) return false;
        if (shown_down(keys, event.key)) {
            show(keys, event.key, false);
            f.released_at = m.now;
            f.program_read_since_release = false;
        }
        return true;
    }
    if (shown_down(keys, event.key)) return true;
    // The ROM takes one key at a time: keys it took that are still held are
    // let go first, so that it sees the new one (a typist's rollover).
    if (f.known_rom && f.last_taker == KeyTaker::rom && f.untaken == 0) {
        const uint64_t held = keys_down(keys);
        if (held != 0) {
            for_each_key(held, [&](ZxKey key) { show(keys, key, false); });
            f.released_at = m.now;
            f.program_read_since_release = false;
            return false;
        }
    }
    if (!may_press(f, m)) return false;
    show(keys, event.key, true);
    f.untaken = bit_of(event.key);
    start_watching(f, m);
    return true;
}

// Gives up what holds the first waiting event back: keys no program took
// (they count as taken, and go up when their release comes), else a press
// the ROM was never ready for, which is dropped.
void give_up(KeyFeeder& f) {
    if (f.untaken != 0) {
        for_each_key(f.untaken, [&](ZxKey key) { f.given_up.push_back(key); });
        mark_taken(f, KeyTaker::none);
        return;
    }
    f.given_up.push_back(f.waiting.front().key);
    f.waiting.pop_front();
}

}  // namespace

void feed_key(KeyFeeder& feeder, ZxKey key, bool down) {
    feeder.waiting.push_back({key, down, false});
}

void note_keyboard_read(KeyFeeder& f, uint16_t port, KeyReader reader, uint8_t debounce) {
    const auto rows = static_cast<uint8_t>(~(port >> 8));
    if (reader != KeyReader::display_scan) {
        f.rows_read |= rows;
        f.program_read_since_release = true;
    }
    if (f.untaken == 0) return;
    if (reader == KeyReader::break_check) {
        // The debounce mark that follows is the BREAK check's, not a key taken.
        f.saw_not_taken = false;
        return;
    }
    if (debounce == debounce_taken) {
        if (f.saw_not_taken) f.rom_took = true;
        return;
    }
    f.saw_not_taken = true;
    if (debounce == debounce_ready)
        f.saw_ready = true;
    else if (f.saw_ready)
        f.missed = true;
}

void advance_key_feeder(KeyFeeder& f, KeyMatrix& keys, const FeederMoment& m) {
    if (f.untaken != 0) {
        const KeyTaker taker = taker_now(f, m);
        if (taker != KeyTaker::none) {
            mark_taken(f, taker);
        } else if (f.known_rom && f.missed && !(f.rows_read & rows_of(f.untaken))) {
            // Offered once and not taken: pressed again once the ROM is ready.
            for_each_key(f.untaken, [&](ZxKey key) {
                show(keys, key, false);
                f.waiting.push_front({key, true, true});
            });
            f.untaken = 0;
            f.last_taker = KeyTaker::rom;
            f.released_at = m.now;
            f.program_read_since_release = false;
        }
    }
    while (!f.waiting.empty()) {
        const bool again = f.waiting.front().again;
        if (show_next(f, keys, m)) {
            f.waiting.pop_front();
            // A press made again goes on with the time its first one waited.
            if (!again) f.blocked_since = -1;
            continue;
        }
        if (f.blocked_since < 0) f.blocked_since = m.now;
        if (m.now - f.blocked_since < f.give_up_after) break;
        give_up(f);
        f.blocked_since = -1;
    }
}

void clear_key_feeder(KeyFeeder& feeder, KeyMatrix& keys) {
    feeder.waiting.clear();
    feeder.untaken = 0;
    feeder.blocked_since = -1;
    keys = no_keys_down;
}
