// A child program the runner tests can steer from its command line. Commands run in order:
//   out TEXT | err TEXT | bytes N | cat | env NAME | pwd | args | fds | sleep MS | exit N
// Without commands it prints its arguments.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <set>
#include <string>
#include <unistd.h>

static void put(FILE *f, const std::string &s)
{
    std::fputs(s.c_str(), f);
    std::fflush(f);
}

static void args(int argc, char **argv)
{
    std::string line;
    for (int i = 0; i < argc; ++i)
        line += (i ? "|" : "") + std::string(argv[i]);
    put(stdout, line + "\n");
}

int main(int argc, char **argv)
{
    if (argc < 2) {
        args(argc, argv);
        return 0;
    }
    for (int i = 1; i < argc; ++i) {
        const std::string cmd = argv[i];
        const char *arg = i + 1 < argc ? argv[i + 1] : "";
        if (cmd == "out") {
            put(stdout, arg), ++i;
        } else if (cmd == "err") {
            put(stderr, arg), ++i;
        } else if (cmd == "bytes") {
            put(stdout, std::string(std::strtoul(arg, nullptr, 10), 'x')), ++i;
        } else if (cmd == "cat") {
            char buf[256];
            ssize_t n;
            while ((n = read(0, buf, sizeof buf)) > 0)
                fwrite(buf, 1, size_t(n), stdout);
            std::fflush(stdout);
        } else if (cmd == "env") {
            const char *v = std::getenv(arg);
            put(stdout, v ? v : "<unset>"), ++i;
        } else if (cmd == "pwd") {
            char buf[4096];
            put(stdout, getcwd(buf, sizeof buf) ? buf : "?");
        } else if (cmd == "args") {
            args(argc, argv);
        } else if (cmd == "fds") {
            // The open descriptors, but the one reading the list.
            DIR *dir = opendir("/proc/self/fd");
            std::set<int> fds;
            for (dirent *e; dir && (e = readdir(dir));)
                if (e->d_name[0] != '.' && std::atoi(e->d_name) != dirfd(dir))
                    fds.insert(std::atoi(e->d_name));
            if (dir)
                closedir(dir);
            std::string line;
            for (const int fd : fds)
                line += (line.empty() ? "" : " ") + std::to_string(fd);
            put(stdout, line);
        } else if (cmd == "sleep") {
            usleep(useconds_t(std::strtoul(arg, nullptr, 10)) * 1000), ++i;
        } else if (cmd == "exit") {
            return std::atoi(arg);
        }
    }
    return 0;
}
