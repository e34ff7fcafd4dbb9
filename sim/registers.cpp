#include "registers.h"

#include <iterator>

namespace SimRegisters {
namespace {

// Temperatures are (value - 1000) / 10 degrees Celsius; emissivity and transmittance value / 1000;
// times value / 10 seconds.
constexpr Register registers[] = {
        {SerialNumber, 0, 4, 20261207, false},
        {RangeLow, 0, 2, 500, false},    // -50.0
        {RangeHigh, 0, 2, 11000, false}, // 1000.0
        {FeatureMask, 0, 4, 0x144E01F6, false},
        {AnalogOutputType, 0, 1, 3, false}, // 4~20mA
        {0x20, 0xA0, 2, 950, true},         // emissivity 0.950
        {0x21, 0xA1, 2, 2000, true},        // high alarm 100.0
        {0x22, 0xA2, 2, 1000, true},        // low alarm 0.0
        {0x42, 0xC2, 2, 1000, true},        // transmittance 1.000
        {0x44, 0xC4, 2, 1000, true},        // analog output 0.0 ..
        {0x45, 0xC5, 2, 11000, true},       // .. 1000.0
        {0x47, 0xC7, 1, 0, false},          // hold mode Real
        {0x48, 0xC8, 2, 5, true},           // averaging 0.5 s
        {0x49, 0xC9, 2, 10, true},          // peak hold 1.0 s
        {0x4A, 0xCA, 2, 20, true},          // valley hold 2.0 s
        {0x4D, 0xCD, 2, 3000, true},        // advanced hold threshold 200.0
        {0x53, 0xD3, 1, 2, true},           // Celsius
        {0x54, 0xD4, 1, 1, true},           // backlight on
        {0x55, 0xD5, 1, 0, true},           // laser off
        {0x56, 0xD6, 1, 0, false},          // low alarm disabled
        {0x57, 0xD7, 1, 1, false},          // high alarm enabled
        {0x68, 0xE8, 1, 0, false},          // normal range mode
        {0x8B, 0x8A, 2, 2, true},           // relay 1
        {0x8D, 0x8C, 2, 1, true},           // relay 2
};

} // namespace

const Register *begin()
{
    return std::begin(registers);
}

const Register *end()
{
    return std::end(registers);
}

const Register *findByRead(uchar code)
{
    for (const Register &r : registers)
        if (r.readCode == code)
            return &r;
    return nullptr;
}

const Register *findByWrite(uchar code)
{
    for (const Register &r : registers)
        if (r.writeCode && r.writeCode == code)
            return &r;
    return nullptr;
}

int requestDataLength(uchar code)
{
    switch (code) {
    case ObjectTemperature:
    case ObjectTemperatureAlt:
    case AmbientTemperature:
    case DeviceIdentity:
    case FactoryReset:
        return 0;
    case ModbusSwitch:
        return 2;
    case WriteEnable:
        return 1;
    default:
        break;
    }
    if (findByRead(code))
        return 0;
    if (const Register *r = findByWrite(code))
        return r->width;
    return -1;
}

} // namespace SimRegisters
