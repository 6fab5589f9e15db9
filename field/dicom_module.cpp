#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include "field/dicom_reader.h"

namespace {

// The folders the dynamic linker would search for the program's libraries:
// its run path, with $ORIGIN filled in, then the system's. They are read
// here and the module opened by its full path, as dlopen called through a
// sanitizer's interceptor searches the interceptor's run path, not ours.
std::vector<std::string> libraryFolders() {
    std::vector<std::string> folders;
    void* program = dlopen(nullptr, RTLD_LAZY);
    Dl_serinfo size{};
    if (program == nullptr || dlinfo(program, RTLD_DI_SERINFOSIZE, &size) != 0) {
        return folders;
    }
    const std::unique_ptr<Dl_serinfo, decltype(&std::free)> info(
        static_cast<Dl_serinfo*>(std::malloc(size.dls_size)), &std::free);
    if (info == nullptr) {
        return folders;
    }
    info->dls_size = size.dls_size;
    info->dls_cnt = size.dls_cnt;
    if (dlinfo(program, RTLD_DI_SERINFO, info.get()) == 0) {
        for (unsigned int i = 0; i < info->dls_cnt; ++i) {
            folders.emplace_back(info->dls_serpath[i].dls_name);
        }
    }
    return folders;
}

// The module's entry point, or why there is none; looked up once.
struct DicomModule {
    decltype(&mcLoadDicomSeries) load = nullptr;
    std::string problem = std::string("DICOM support cannot be loaded: ") + kDicomModule +
                          " is in none of the program's library folders";

    DicomModule() {
        for (const std::string& folder : libraryFolders()) {
            const std::filesystem::path path = std::filesystem::path(folder) / kDicomModule;
            std::error_code error;
            if (!std::filesystem::exists(path, error)) {
                continue;
            }
            // Never closed: GDCM's statics live until the process ends.
            void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (module != nullptr) {
                load = reinterpret_cast<decltype(load)>(dlsym(module, "mcLoadDicomSeries"));
            }
            if (load != nullptr) {
                return;
            }
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
