// A run of condition datasets (0x900F) as the event task reads them: every named word, the
// change detection against the remembered words, and what capture derives from the record.

#include "fuzz_adapter_support.hpp"

using namespace Corvane::CameraController;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    Fuzzing::FuzzedCamera camera(input, Fuzzing::pickModel(input));
    auto& adapter = *camera.adapter;

    bool remembered = false;
    for (int pass = 0; pass < 8 && input.remaining_bytes() > 0; ++pass) {
        if (!adapter.updateCondition()) {
            continue;
        }
        if (!remembered) {
            adapter.conditionTracker.takeWords();
            remembered = true;
            continue;
        }
        adapter.detectSettingChanges();
        adapter.countExpectedFiles();
        adapter.isCaptureAllowed();
        adapter.isMovieMode();
        adapter.isMovieRecording();
        if (const auto condition = adapter.getCondition()) {
            condition->isoSensitivity();
            condition->exposureMode();
            condition->adjustableMask();
        }
    }
    return 0;
}
