#pragma once

// The six-byte Roland message headers derived from the instrument's device ID, as hex text
// ending with one blank so that an address text can follow directly.

#include <string>

namespace sysex {

// The device byte of a device ID: ID - 1, or 10 hex (the instrument's factory ID 17) for an ID
// that gives no 7-bit data byte, such as 0 while no settings file has been read.
int DeviceByte(int deviceId);

std::string DataSetHeader(int deviceId); // F0 41 dd 00 0B 12
std::string DataRequestHeader(int deviceId); // F0 41 dd 00 0B 11
std::string Model3AHeader(int deviceId); // 00 F0 41 dd 3A 12

} // namespace sysex
