#pragma once

#include <QtGlobal>

// The instrument's register map as the simulator keeps it.
namespace SimRegisters {

enum : uchar {
    ObjectTemperature = 0x01,
    ObjectTemperatureAlt = 0x08,
    AmbientTemperature = 0x02,
    SerialNumber = 0x12,
    RangeLow = 0x15,
    RangeHigh = 0x16,
    DeviceIdentity = 0x17,
    FeatureMask = 0x40,
    AnalogOutputType = 0x46,
    FactoryReset = 0x64,
    ModbusSwitch = 0x85,
    WriteEnable = 0xFD,
};

struct Register
{
    uchar readCode;
    uchar writeCode; // 0 when the register cannot be written
    int width;       // bytes of the value: 1, 2 or 4
    quint32 factoryValue;
    bool protectedWrite; // needs the write-enable command first when the instrument asks for it
};

// Every stored register; temperatures, identity and the commands are handled apart.
const Register *findByRead(uchar code);
const Register *findByWrite(uchar code);
const Register *begin();
const Register *end();

// Data bytes that follow the code in an XOR-framed request; -1 for a code the instrument
// does not know.
int requestDataLength(uchar code);

} // namespace SimRegisters
