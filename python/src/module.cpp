// The native part of the corvane package; corvane/__init__.py adds the Python conveniences.
#include "binding.hpp"

PYBIND11_MODULE(_corvane, m) {
    using namespace corvane_python;
    m.doc() = "Native binding of the Corvane camera controller library.";
    bindTypes(m);
    bindSettings(m);
    bindMedia(m);
    bindEvents(m);
    bindCamera(m);
    py::module_ emulator = m.def_submodule("emulator", "The emulated Quorin camera.");
    bindEmulator(emulator);
}
