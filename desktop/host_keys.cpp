#include "host_keys.h"

#include <allegro.h>

#include <array>
#include <deque>

#include "input_events.h"

namespace {

// Allegro key code for each scan code this program uses; 0 for the others.
constexpr std::array<int, 256> build_allegro_keys() {
    std::array<int, 256> t{};
    namespace sc = scancode;
    const int pairs[][2] = {
        {sc::key1, KEY_1}, {sc::key2, KEY_2}, {sc::key3, KEY_3}, {sc::key4, KEY_4},
        {sc::key5, KEY_5}, {sc::key6, KEY_6}, {sc::key7, KEY_7}, {sc::key8, KEY_8},
        {sc::key9, KEY_9}, {sc::key0, KEY_0}, {sc::backspace, KEY_BACKSPACE},
        {sc::q, KEY_Q}, {sc::w, KEY_W}, {sc::e, KEY_E}, {sc::r, KEY_R}, {sc::t, KEY_T},
        {sc::y, KEY_Y}, {sc::u, KEY_U}, {sc::i, KEY_I}, {sc::o, KEY_O}, {sc::p, KEY_P},
        {sc::enter, KEY_ENTER}, {sc::a, KEY_A}, {sc::s, KEY_S}, {sc::d, KEY_D},
        {sc::f, KEY_F}, {sc::g, KEY_G}, {sc::h, KEY_H}, {sc::j, KEY_J}, {sc::k, KEY_K},
        {sc::l, KEY_L}, {sc::semicolon, KEY_COLON}, {sc::left_shift, KEY_LSHIFT},
        {sc::z, KEY_Z}, {sc::x, KEY_X}, {sc::c, KEY_C}, {sc::v, KEY_V}, {sc::b, KEY_B},
        {sc::n, KEY_N}, {sc::m, KEY_M}, {sc::right_shift, KEY_RSHIFT}, {sc::alt, KEY_ALT},
        {sc::space, KEY_SPACE}, {sc::f1, KEY_F1}, {sc::f2, KEY_F2}, {sc::f3, KEY_F3},
        {sc::f4, KEY_F4}, {sc::f5, KEY_F5}, {sc::f6, KEY_F6}, {sc::f7, KEY_F7},
        {sc::f8, KEY_F8}, {sc::f9, KEY_F9}, {sc::f10, KEY_F10}, {sc::f11, KEY_F11}, {sc::f12, KEY_F12}, {sc::print_screen, KEY_PRTSCR}, {sc::up, KEY_UP}, {sc::left, KEY_LEFT}, {sc::right, KEY_RIGHT},
        {sc::down, KEY_DOWN},
    };
    for (const auto& pair : pairs) t[pair[0]] = pair[1];
    return t;
}

constexpr std::array<int, 256> allegro_key_for_scancode = build_allegro_keys();

struct HostKey {
    int scan;
    ZxKey zx;
};

// The host keys that press each ZX81 key. Several may press the same one
// (both Shifts; the arrows press bare digits).
constexpr HostKey host_keys[] = {
    {scancode::left_shift, zx_key::shift}, {scancode::right_shift, zx_key::shift},
    {scancode::z, zx_key::z},             {scancode::x, zx_key::x},
    {scancode::c, zx_key::c},             {scancode::v, zx_key::v},
    {scancode::a, zx_key::a},             {scancode::s, zx_key::s},
    {scancode::d, zx_key::d},             {scancode::f, zx_key::f},
    {scancode::g, zx_key::g},             {scancode::q, zx_key::q},
    {scancode::w, zx_key::w},             {scancode::e, zx_key::e},
    {scancode::r, zx_key::r},             {scancode::t, zx_key::t},
    {scancode::key1, zx_key::digit1},     {scancode::key2, zx_key::digit2},
    {scancode::key3, zx_key::digit3},     {scancode::key4, zx_key::digit4},
    {scancode::key5, zx_key::digit5},     {scancode::left, zx_key::digit5},
    {scancode::key0, zx_key::digit0},     {scancode::key9, zx_key::digit9},
    {scancode::key8, zx_key::digit8},     {scancode::right, zx_key::digit8},
    {scancode::key7, zx_key::digit7},     {scancode::up, zx_key::digit7},
    {scancode::key6, zx_key::digit6},     {scancode::down, zx_key::digit6},
    {scancode::p, zx_key::p},             {scancode::o, zx_key::o},
    {scancode::i, zx_key::i},             {scancode::u, zx_key::u},
    {scancode::y, zx_key::y},             {scancode::enter, zx_key::newline},
    {scancode::l, zx_key::l},             {scancode::k, zx_key::k},
    {scancode::j, zx_key::j},             {scancode::h, zx_key::h},
    {scancode::space, zx_key::space},     {scancode::semicolon, zx_key::dot},
    {scancode::m, zx_key::m},             {scancode::n, zx_key::n},
    {scancode::b, zx_key::b},
};

// Character keys: what each types with host Shift up and down. Letters and
// digits stay position keys; these are the keys the ZX81 has no place for.
struct CharacterKey {
    int allegro_key;
    bool plain_types, shifted_types;
    TypedKey plain, shifted;
};

constexpr TypedKey shifted(ZxKey key) {
    return {key, true};
}
constexpr TypedKey unshifted(ZxKey key) {
    return {key, false};
}
constexpr TypedKey nothing{};

constexpr CharacterKey character_keys[] = {
    {KEY_STOP, true, true, unshifted(zx_key::dot), shifted(zx_key::m)},      // . and >
    {KEY_COMMA, true, true, shifted(zx_key::dot), shifted(zx_key::n)},       // , and <
    {KEY_QUOTE, false, true, nothing, shifted(zx_key::p)},                   // "
    {KEY_EQUALS, true, true, shifted(zx_key::l), shifted(zx_key::k)},        // = and +
    {KEY_MINUS, true, false, shifted(zx_key::j), nothing},                   // -
    {KEY_SLASH, true, true, shifted(zx_key::v), shifted(zx_key::c)},         // / and ?
    {KEY_ASTERISK, true, true, shifted(zx_key::b), shifted(zx_key::b)},      // keypad *
    {KEY_PLUS_PAD, true, true, shifted(zx_key::k), shifted(zx_key::k)},      // keypad +
    {KEY_MINUS_PAD, true, true, shifted(zx_key::j), shifted(zx_key::j)},     // keypad -
    {KEY_SLASH_PAD, true, true, shifted(zx_key::v), shifted(zx_key::v)},     // keypad /
    {KEY_DEL_PAD, true, true, unshifted(zx_key::dot), unshifted(zx_key::dot)},  // keypad .
    {KEY_ENTER_PAD, true, true, unshifted(zx_key::newline), unshifted(zx_key::newline)},
    {KEY_0_PAD, true, true, unshifted(zx_key::digit0), unshifted(zx_key::digit0)},
    {KEY_1_PAD, true, true, unshifted(zx_key::digit1), unshifted(zx_key::digit1)},
    {KEY_2_PAD, true, true, unshifted(zx_key::digit2), unshifted(zx_key::digit2)},
    {KEY_3_PAD, true, true, unshifted(zx_key::digit3), unshifted(zx_key::digit3)},
    {KEY_4_PAD, true, true, unshifted(zx_key::digit4), unshifted(zx_key::digit4)},
    {KEY_5_PAD, true, true, unshifted(zx_key::digit5), unshifted(zx_key::digit5)},
    {KEY_6_PAD, true, true, unshifted(zx_key::digit6), unshifted(zx_key::digit6)},
    {KEY_7_PAD, true, true, unshifted(zx_key::digit7), unshifted(zx_key::digit7)},
    {KEY_8_PAD, true, true, unshifted(zx_key::digit8), unshifted(zx_key::digit8)},
    {KEY_9_PAD, true, true, unshifted(zx_key::digit9), unshifted(zx_key::digit9)},
    {KEY_BACKSPACE, true, true, shifted(zx_key::digit0), shifted(zx_key::digit0)},  // RUBOUT
};

// The host keys as the ZX81 is shown them: the events played in order,
// timed so that the ROM sees each one.
struct KeyReplay {
    std::array<bool, KEY_MAX> down{};
    std::array<uint8_t, KEY_MAX> held{};        // scans shown down so far, up to 255
    std::array<bool, KEY_MAX> from_event{};     // pressed by an event: held at least key_hold
    int since_release = 255;                    // scans since a key was shown released
    std::deque<KeyEvent> waiting;               // events that must wait their turn
};

KeyReplay replay;

// Plays the waiting events that may go now; false at the first that must
// wait (a press before the release gap is over, a release before the key
// was held long enough), which holds back those after it.
bool play_event(const KeyEvent& event, int release_gap) {
    const auto code = static_cast<size_t>(event.code);
    if (event.down == replay.down[code]) return true;
    if (event.down) {
        if (replay.since_release < release_gap) return false;
        replay.down[code] = true;
        replay.held[code] = 0;
        replay.from_event[code] = true;
    } else {
        if (replay.from_event[code] && replay.held[code] < key_hold) return false;
        replay.down[code] = false;
        replay.since_release = 0;
    }
    return true;
}

// One scan's worth of events. With none waiting, the keys follow Allegro's
// own state too, which also holds what came while events were not taken.
void play_key_events(int release_gap) {
    KeyEvent event;
    while (next_key_event(event)) replay.waiting.push_back(event);
    while (!replay.waiting.empty() && play_event(replay.waiting.front(), release_gap)) replay.waiting.pop_front();
    if (replay.waiting.empty()) {
        for (size_t code = 1; code < KEY_MAX; ++code) {
            const bool physical = key[code] != 0;
            if (physical == replay.down[code] || (replay.from_event[code] && replay.held[code] < key_hold)) continue;
            replay.down[code] = physical;
            replay.held[code] = 0;
            replay.from_event[code] = false;
            if (!physical) replay.since_release = 0;
        }
    }
}

// After the scan: how long each key has been shown down, and the keys up.
void count_scan() {
    for (size_t code = 1; code < KEY_MAX; ++code)
        if (replay.down[code] && replay.held[code] < 255) ++replay.held[code];
    if (replay.since_release < 255) ++replay.since_release;
}

bool host_shift_down() {
    return host_key_down(scancode::left_shift) || host_key_down(scancode::right_shift);
}

// Starts typing the first character key found down that types something.
void start_character(HostKeyboard& keyboard) {
    const bool shift = host_shift_down();
    for (const CharacterKey& c : character_keys) {
        if (!replay.down[static_cast<size_t>(c.allegro_key)] || !typed_by(c.allegro_key, shift, keyboard.typed))
            continue;
        keyboard.allegro_key = c.allegro_key;
        keyboard.phase = HostKeyboard::Phase::lead;
        return;
    }
}

// The character's part of this scan, then its next phase: the lead, the
// first scan of the key and the trail last one scan each, so that even a tap
// shorter than a scan types; then the key is held while the host key is.
void press_character(HostKeyboard& keyboard, KeyMatrix& keys) {
    using Phase = HostKeyboard::Phase;
    if (keyboard.phase == Phase::held && !replay.down[static_cast<size_t>(keyboard.allegro_key)])
        keyboard.phase = Phase::trail;
    const bool key_down = keyboard.phase == Phase::press || keyboard.phase == Phase::held;
    if (keyboard.typed.shift) press_key(keys, zx_key::shift);
    if (key_down) press_key(keys, keyboard.typed.key);
    if (keyboard.allegro_key == KEY_BACKSPACE) {
        // RUBOUT hides the rest of its two rows.
        keys[zx_key::shift.row] = 0xFE;
        keys[zx_key::digit0.row] = key_down ? 0xFE : 0xFF;
    }
    switch (keyboard.phase) {
    case Phase::lead: keyboard.phase = Phase::press; break;
    case Phase::press: keyboard.phase = Phase::held; break;
    case Phase::trail:
        keyboard.phase = Phase::idle;
        keyboard.allegro_key = 0;
        break;
    default: break;
    }
}

}  // namespace

bool host_key_down(int scan) {
    const int code = allegro_key_for_scancode[scan];
    return code != 0 && replay.down[static_cast<size_t>(code)];
}

bool typed_by(int allegro_key, bool host_shift, TypedKey& typed) {
    for (const CharacterKey& c : character_keys) {
        if (c.allegro_key != allegro_key) continue;
        typed = host_shift ? c.shifted : c.plain;
        return host_shift ? c.shifted_types : c.plain_types;
    }
    return false;
}

KeyMatrix scan_host_keys(HostKeyboard& keyboard) {
    play_key_events(keyboard.release_gap);
    KeyMatrix keys = no_keys_down;
    if (keyboard.phase == HostKeyboard::Phase::idle) start_character(keyboard);
    const bool typing = keyboard.phase != HostKeyboard::Phase::idle;
    for (const HostKey& k : host_keys) {
        const bool host_shift = k.zx.row == zx_key::shift.row && k.zx.bit == zx_key::shift.bit;
        if (host_key_down(k.scan) && !(typing && host_shift)) press_key(keys, k.zx);
    }
    if (typing) press_character(keyboard, keys);
    count_scan();
    return keys;
}

void forget_key_events() {
    forget_input_events();
    replay.waiting.clear();
    for (size_t code = 1; code < KEY_MAX; ++code) {
        replay.down[code] = key[code] != 0;
        replay.from_event[code] = false;
    }
}
