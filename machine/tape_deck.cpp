#include "tape_deck.h"

#include <algorithm>
#include <cstdint>

uint64_t TapeSignal::length() const {
    uint64_t total = 0;
    for (uint32_t cycles : stretches) total += cycles;
    return total;
}

void insert_tape(TapeDeck& deck, TapeSignal tape, std::string name) {
    deck = TapeDeck{};
    deck.tape = std::move(tape);
    deck.name = std::move(name);
    deck.length = deck.tape.length();
}

void eject_tape(TapeDeck& deck) {
    deck = TapeDeck{};
}

void start_tape(TapeDeck& deck, int64_t now) {
    if (deck.playing || deck.stretch >= deck.tape.stretches.size()) return;
    deck.playing = true;
    deck.played_to = now;
}

bool tape_level(TapeDeck& deck, int64_t now) {
    const std::vector<uint32_t>& stretches = deck.tape.stretches;
    if (deck.playing && now > deck.played_to) {
        uint64_t elapsed = static_cast<uint64_t>(now - deck.played_to);
        deck.played_to = now;
        // A stop on the way: the tape goes that far, and stops.
        const std::vector<uint64_t>& stops = deck.tape.stops;
        bool stops_here = false;
        if (deck.next_stop < stops.size() && deck.at + elapsed >= stops[deck.next_stop]) {
            elapsed = stops[deck.next_stop] - deck.at;
            ++deck.next_stop;
            stops_here = true;
        }
        deck.at += elapsed;
        while (deck.stretch < stretches.size() && deck.into + elapsed >= stretches[deck.stretch]) {
            elapsed -= stretches[deck.stretch] - deck.into;
            deck.into = 0;
            ++deck.stretch;
        }
        deck.into += elapsed;
        if (deck.stretch >= stretches.size() || stops_here) deck.playing = false;  // the end: the deck stops
    }
    // The first stretch is low, and they alternate.
    return deck.playing && deck.stretch < stretches.size() && deck.stretch % 2 == 1;
}

int64_t tape_next_change(TapeDeck& deck, int64_t now) {
    tape_level(deck, now);
    if (!deck.playing) return INT64_MAX;
    uint64_t until = deck.tape.stretches[deck.stretch] - deck.into;
    // A stop may bring the level down before the stretch ends.
    if (deck.next_stop < deck.tape.stops.size()) until = std::min(until, deck.tape.stops[deck.next_stop] - deck.at);
    return now + static_cast<int64_t>(until);
}

uint64_t tape_position(const TapeDeck& deck) {
    return deck.at;
}

void wind_tape(TapeDeck& deck, uint64_t position) {
    deck.stretch = 0;
    deck.into = 0;
    deck.at = std::min(position, deck.length);
    const std::vector<uint64_t>& stops = deck.tape.stops;
    deck.next_stop = static_cast<size_t>(std::upper_bound(stops.begin(), stops.end(), deck.at) - stops.begin());
    const std::vector<uint32_t>& stretches = deck.tape.stretches;
    while (deck.stretch < stretches.size() && position >= stretches[deck.stretch]) {
        position -= stretches[deck.stretch];
        ++deck.stretch;
    }
    if (deck.stretch < stretches.size()) deck.into = position;
}
