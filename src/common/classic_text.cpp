#include "common/classic_text.hpp"

#include <iomanip>
#include <locale>

namespace Corvane::CameraController::Impl {

std::ostringstream classicTextStream() {
    std::ostringstream text;
    text.imbue(std::locale::classic());
    return text;
}

std::string lowerHex(uint64_t value) {
    std::ostringstream text = classicTextStream();
    text << std::hex << value;
    return text.str();
}

std::string fixedSixDecimals(double value) {
    std::ostringstream text = classicTextStream();
    text << std::fixed << std::setprecision(6) << value;
    return text.str();
}

}  // namespace Corvane::CameraController::Impl
