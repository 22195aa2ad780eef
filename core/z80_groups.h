// The prefixed instruction groups as the execution loop calls them: one
// instruction each, on the registers and the loop's flow, which they take and
// give back by value so that the loop keeps its own in machine registers.
#pragma once

#include "z80_bus.h"

enum class IndexReg;

template <class Bus>
Flow run_cb(Z80State& s, Bus bus, Flow f);
template <class Bus>
Flow run_ed(Z80State& s, Bus bus, Flow f);
template <class Bus, IndexReg I>
Flow run_index(Z80State& s, Bus bus, Flow f);
template <class Bus, IndexReg I>
Flow run_index_cb(Z80State& s, Bus bus, Flow f);
