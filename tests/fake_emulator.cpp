// Stands in for an emulator in the tests of Tools > Run in Emulator.
//
//   ombattleanim-fake-emulator RECORD MODE ARGS...
//
// Writes every argument after RECORD, one a line, to RECORD (then renamed
// into place, so a reader sees all or nothing), and a copy of the last
// argument's file to RECORD.image. MODE "stay": then waits until it is
// ended; "fail": writes twelve numbered lines of output and exits with
// status 3 at once.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

bool Copy(const char* from, const std::string& to) {
    std::FILE* in = std::fopen(from, "rb");
    std::FILE* out = std::fopen(to.c_str(), "wb");
    bool ok = in && out;
    char buffer[65536];
    std::size_t n = 0;
    while (ok && (n = std::fread(buffer, 1, sizeof buffer, in)) > 0)
        ok = std::fwrite(buffer, 1, n, out) == n;
    ok = ok && !std::ferror(in);
    if (in)
        std::fclose(in);
    if (out && std::fclose(out) != 0)
        ok = false;
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4)
        return 2;
    const std::string record = argv[1];
    if (!Copy(argv[argc - 1], record + ".image"))
        return 4;
    const std::string temporary = record + ".part";
    std::FILE* f = std::fopen(temporary.c_str(), "w");
    if (!f)
        return 4;
    for (int i = 2; i < argc; ++i)
        std::fprintf(f, "%s\n", argv[i]);
    if (std::fclose(f) != 0 || std::rename(temporary.c_str(), record.c_str()) != 0)
        return 4;
    if (std::strcmp(argv[2], "fail") == 0) {
        for (int i = 1; i <= 12; ++i)
            std::printf("emulator line %d\n", i);
        return 3;
    }
    for (;;)
        pause();
}
