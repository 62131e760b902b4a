#include "exposure.hpp"

namespace Corvane::CameraController::Emulator::Exposure {

uint32_t adjustableMask(int32_t mode) {
    constexpr uint32_t A = kAdjustAperture;
    constexpr uint32_t S = kAdjustShutter;
    constexpr uint32_t I = kAdjustIso;
    constexpr uint32_t C = kAdjustCompensation;
    static const uint32_t masks[kModeCount] = {
        I | C,          // 0 program
        0,              // 1 auto
        I | C,          // 2 program
        0,              // 3 auto
        S | I | C,      // 4 shutter priority
        A | I | C,      // 5 aperture priority
        S | I | C,      // 6 shutter priority, agile
        A | I | C,      // 7 aperture priority, agile
        A | S | I,      // 8 manual
        A | I,          // 9 bulb
        A | I | C,      // 10 aperture priority
        A | S | I,      // 11 manual
        A | I,          // 12 time
        A | S | C,      // 13 shutter and aperture priority
        A | S | C,      // 14
        I | C,          // 15 ISO priority
        A | I,          // 16 flash sync
        A | I,          // 17
        A | I | C,      // 18 lens shutter
        0,              // 19 auto
        A | S | I | C,  // 20
        0,              // 21 full auto
    };
    return isValidMode(mode) ? masks[mode] : 0;
}

bool isValidMode(int32_t mode) {
    return mode >= 0 && mode < kModeCount;
}

bool forbidsAutoIso(int32_t mode) {
    return mode == kModeIsoPriority || mode == kModeManual || mode == kModeBulb || mode == 16;
}

double ShutterSpeed::seconds() const {
    if (denominator == 0 || *this == kBulb) {
        return 0.0;
    }
    return static_cast<double>(numerator) / denominator;
}

const std::vector<uint16_t>& apertures() {
    static const std::vector<uint16_t> values = {280,  320,  350,  400,  450,  500,  560,
                                                 630,  710,  800,  900,  1000, 1100, 1300,
                                                 1400, 1600, 1800, 2000, 2200};
    return values;
}

const std::vector<int16_t>& compensations() {
    static const std::vector<int16_t> values = [] {
        std::vector<int16_t> v;
        for (int ev = -5; ev <= 5; ++ev) {
            v.push_back(static_cast<int16_t>(ev * 1000));
            if (ev < 5) {
                v.push_back(static_cast<int16_t>(ev * 1000 + 300));
                v.push_back(static_cast<int16_t>(ev * 1000 + 700));
            }
        }
        return v;
    }();
    return values;
}

const std::vector<uint32_t>& isoValues() {
    static const std::vector<uint32_t> values = {
        0,    100,   125,   160,   200,   250,   320,   400,   500,  640,
        800,  1000,  1250,  1600,  2000,  2500,  3200,  4000,  5000, 6400,
        8000, 10000, 12800, 16000, 20000, 25600, 32000, 40000, 51200};
    return values;
}

const std::vector<uint16_t>& whiteBalances() {
    static const std::vector<uint16_t> values = {0x0002, 0x0004, 0x8002, 0x8003, 0x0006,
                                                 0x8004, 0x8005, 0x8006, 0x800D, 0x0007,
                                                 0x8007, 0x800A, 0x800E, 0x800F};
    return values;
}

const std::vector<ShutterSpeed>& shutterSpeeds() {
    static const std::vector<ShutterSpeed> values = {
        {0, 1},    {1, 8000}, {1, 6400}, {1, 5000}, {1, 4000}, {1, 3200}, {1, 2500}, {1, 2000},
        {1, 1600}, {1, 1250}, {1, 1000}, {1, 800},  {1, 640},  {1, 500},  {1, 400},  {1, 320},
        {1, 250},  {1, 200},  {1, 160},  {1, 125},  {1, 100},  {1, 80},   {1, 60},   {1, 50},
        {1, 40},   {1, 30},   {1, 25},   {1, 20},   {1, 15},   {1, 13},   {1, 10},   {1, 8},
        {1, 6},    {1, 5},    {1, 4},    {3, 10},   {10, 25},  {1, 2},    {6, 10},   {8, 10},
        {1, 1},    {13, 10},  {16, 10},  {2, 1},    {25, 10},  {32, 10},  {4, 1},    {5, 1},
        {6, 1},    {8, 1},    {10, 1},   {13, 1},   {15, 1},   {20, 1},   {25, 1},   {30, 1}};
    return values;
}

}  // namespace Corvane::CameraController::Emulator::Exposure
