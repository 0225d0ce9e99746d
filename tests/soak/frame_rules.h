#pragma once
// What a light may receive from this program: the 7-byte frame of one of the
// modes, with every parameter in its range, or the rename message. The soak
// checks every value every virtual light received against these rules.

#include <string>

#include "protocol/bytes.h"

namespace lightdeck::testing {

// Empty when `value` is a well-formed frame or rename message; otherwise
// what is wrong with it.
//  - AA 01 b t 00 00 BB   colour temperature: b 0..100 %, t 30..65 (x100 K)
//  - AA 02 b c h h BB     hue: b 0..100 %, c 0..100, hue (high byte first) 0..360
//  - AA 03 00 e 00 o BB   effect: e 0..10, o 0..3 (0: not chosen yet)
//  - AA 04 b n 00 00 BB   preset colour: b 0..100 %, n 1..7
//  - AA 06 00 00 00 00 BB rescue signal
//  - AA 00 name           rename: the name well-formed UTF-8 of at most
//                         20 UTF-16 code units (possibly empty)
std::string frameProblem(const Bytes& value);

}  // namespace lightdeck::testing
