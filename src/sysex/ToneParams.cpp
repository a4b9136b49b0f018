#include "ToneParams.h"

#include "midi/SysExText.h"

namespace sysex {

std::string ToneMessageText(const std::string &dataSetHeader, const std::string &partText, int tone,
                            int offset, const std::string &valueText)
{
    return dataSetHeader + "02 " + partText + " " + midi::HexByte(ToneByte(tone)) + " "
        + midi::HexByte(offset) + " " + valueText;
}

} // namespace sysex
