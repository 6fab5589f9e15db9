#include <dlfcn.h>

#include "field/dicom_reader.h"

namespace {

// The module's entry point, or why there is none; looked up once.
struct DicomModule {
    decltype(&mcLoadDicomSeries) load = nullptr;
    std::string problem;

    DicomModule() {
        // Never closed: GDCM's statics live until the process ends.
        void* module = dlopen(kDicomModule, RTLD_NOW | RTLD_LOCAL);
        if (module != nullptr) {
            load = reinterpret_cast<decltype(load)>(dlsym(module, "mcLoadDicomSeries"));
        }
        if (load == nullptr) {
            const char* why = dlerror();
            problem = std::string("DICOM support cannot be loaded: ") +
                      (why != nullptr ? why : "no entry point");
        }
    }
};

}  // namespace

bool loadDicomSeries(const std::string& path, const std::optional<std::string>& series,
                     Volume& volume, std::string& problem, const VolumeSizeCheck& check) {
    static const DicomModule module;
    if (module.load == nullptr) {
        problem = module.problem;
        return false;
    }
    return module.load(path, series, volume, problem, check);
}
