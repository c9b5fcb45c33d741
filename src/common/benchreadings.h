#pragma once

// Live readings of the last signal packet that passed its checksum.
// Written only by the signal decoder; all zero until the first good packet.
struct BenchReadings {
    long double Uab = 0, Ubc = 0, Uca = 0;
    long double Ia = 0, Ib = 0, Ic = 0;
    long double U2ab = 0, U2bc = 0, U2ca = 0;
    long double P1 = 0, P2 = 0;
    long double UabMean = 0;
    long double Frequency = 0;
    long double PhaseGroup = 0;
    long double Uavg = 0, Iavg = 0, Ptotal = 0;
    long double Kab = 0, Kbc = 0, Kca = 0;
};

// Decimals of the first-channel voltages and everything derived from them.
inline constexpr int PrimaryVoltageDigits = 1;
