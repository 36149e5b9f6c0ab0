// run-on-arch PROGRAM [ARGUMENT...]: starts a Linux program built for the
// Debian architecture HELLOWORLD_ARCH with that architecture's C library from
// Debian's cross packages: natively where this kernel executes it (i386 on
// most x86-64 kernels), else through qemu-user, called directly rather than
// through a binfmt_misc handler. It execs, and starts no other process, so a
// trace of it shows the program's own calls.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <stdlib.h>
#include <unistd.h>

namespace {

struct Arch {
    const char* name; // Debian's
    const char* triplet;
    const char* qemu;
    const char* loader; // to try natively first, or null
};

constexpr Arch arches[] = {
    {"arm64", "aarch64-linux-gnu", "qemu-aarch64", nullptr},
    {"armel", "arm-linux-gnueabi", "qemu-arm", nullptr},
    {"armhf", "arm-linux-gnueabihf", "qemu-arm", nullptr},
    {"i386", "i686-linux-gnu", "qemu-i386", "ld-linux.so.2"},
    {"mips64el", "mips64el-linux-gnuabi64", "qemu-mips64el", nullptr},
    {"mipsel", "mipsel-linux-gnu", "qemu-mipsel", nullptr},
    {"ppc64el", "powerpc64le-linux-gnu", "qemu-ppc64le", nullptr},
    {"riscv64", "riscv64-linux-gnu", "qemu-riscv64", nullptr},
    {"s390x", "s390x-linux-gnu", "qemu-s390x", nullptr},
};

int fail(const std::string& what)
{
    (void)std::fprintf(stderr, "run-on-arch: %s\n", what.c_str());
    return 127;
}

} // namespace

int main(int argc, char** argv)
{
    const char* name = std::getenv("HELLOWORLD_ARCH");
    const Arch* arch = nullptr;
    for (const auto& a : arches) {
        if (name != nullptr && std::string_view(name) == a.name) {
            arch = &a;
        }
    }
    if (arch == nullptr || argc < 2) {
        return fail(
            "usage: HELLOWORLD_ARCH=<Debian architecture> run-on-arch PROGRAM [ARGUMENT...]");
    }
    const std::string libs = std::string("/usr/") + arch->triplet;
    std::vector<std::string> line;
    if (arch->loader != nullptr) {
        // The cross C library's own loader, run natively: the kernel refuses
        // it (ENOEXEC) where it cannot execute the architecture.
        const std::string loader = libs + "/lib/" + arch->loader;
        line = {loader, "--library-path", libs + "/lib"};
        line.insert(line.end(), argv + 1, argv + argc);
        std::vector<char*> args;
        args.reserve(line.size() + 1);
        for (auto& word : line) {
            args.push_back(word.data());
        }
        args.push_back(nullptr);
        execv(loader.c_str(), args.data());
        if (errno != ENOEXEC) {
            return fail(loader + ": " + std::strerror(errno));
        }
    }
    if (setenv("QEMU_LD_PREFIX", libs.c_str(), 1) != 0) {
        return fail(std::string("QEMU_LD_PREFIX: ") + std::strerror(errno));
    }
    argv[0] = const_cast<char*>(arch->qemu);
    execvp(arch->qemu, argv);
    return fail(std::string(arch->qemu) + ": " + std::strerror(errno));
}
