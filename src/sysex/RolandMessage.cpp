#include "RolandMessage.h"

#include "midi/SysExText.h"

namespace sysex {

int DeviceByte(int deviceId)
{
    constexpr int FactoryDeviceByte = 0x10;
    const int byte = deviceId - 1;
    return (byte >= 0 && byte <= 0x7F) ? byte : FactoryDeviceByte;
}

std::string DataSetHeader(int deviceId)
{
    return "F0 41 " + midi::HexByte(DeviceByte(deviceId)) + " 00 0B 12 ";
}

std::string DataRequestHeader(int deviceId)
{
    return "F0 41 " + midi::HexByte(DeviceByte(deviceId)) + " 00 0B 11 ";
}

std::string Model3AHeader(int deviceId)
{
    return "00 F0 41 " + midi::HexByte(DeviceByte(deviceId)) + " 3A 12 ";
}

} // namespace sysex
