// Names and texts of the status codes (core/status.h), and the mapping from the error codes a
// source's request returns (net/source.h) to status codes.
//
// | error code | status code | | error code | status code |
// |------------|-------------|-|------------|-------------|
// | -400       | 0x80000FA7  | | -600       | 0x80000FB0  |
// | -401       | 0x80000FAA  | | -601       | 0x80000FB1  |
// | -403       | 0x80000FAB  | | -602       | 0x80000FB2  |
// | -404       | 0x80000FAC  | | -603       | 0x80000FB3  |
// | -500       | 0x80000FAD  | | -604       | 0x80000FB4  |
// | -501       | 0x80000FAE  | | -605       | 0x80000FB5  |
// | -502       | 0x80000FAF  | | anything else | 0x80000FA3 |
#pragma once

#include <cstdint>

#include "core/status.h"

namespace skv {

// The code's `sts` name ("stsBufferingComplete"), or null for a code the module gives no name
// (the header and network error codes 0x80000FA9-0x80000FB5, and unknown codes).
const char* statusName(uint32_t code);

uint32_t statusForError(int32_t errorCode);

// The string table entry that holds the code's message, or 0 when the code has none. Every
// progress code maps to 13404: the host never asks for their text, so reaching it is itself an
// error.
uint32_t errorTextEntry(uint32_t code);

// Fills `buffer` with the message for a status code: the text of its entry, or "Unknown Error: No
// Error text found." for a code without one. At most `capacity` bytes are written including the
// NUL, which is always written when capacity >= 1. Returns the length of the text stored.
int32_t errorText(uint32_t code, char* buffer, int32_t capacity);

} // namespace skv
