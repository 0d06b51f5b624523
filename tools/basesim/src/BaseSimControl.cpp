// basesim-control: sends commands to a simulated base over its control
// socket and prints the answers.
//
//   basesim-control [-s socket] command [arguments...]
//   basesim-control [-s socket]            (commands from standard input)
//
// The socket defaults to $BASESIM_CONTROL.

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

namespace {

int connectTo(const std::string &path)
{
    sockaddr_un address{};
    if (path.empty() || path.size() >= sizeof(address.sun_path))
        return -1;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    if (connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Sends one line and prints the one-line answer; false if the answer is an
// error or the connection broke.
bool transact(int fd, const std::string &line)
{
    const std::string request = line + "\n";
    if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) < 0)
        return false;
    std::string answer;
    char c = 0;
    while (read(fd, &c, 1) == 1 && c != '\n')
        answer += c;
    std::cout << answer << std::endl;
    return answer.rfind("ok", 0) == 0;
}

} // namespace

int main(int argc, char **argv)
{
    const char *fromEnvironment = std::getenv("BASESIM_CONTROL");
    std::string path = fromEnvironment ? fromEnvironment : "";
    int first = 1;
    if (argc > 2 && std::string(argv[1]) == "-s") {
        path = argv[2];
        first = 3;
    }
    const int fd = connectTo(path);
    if (fd < 0) {
        std::cerr << "basesim-control: cannot connect to '" << path << "'\n";
        return 2;
    }
    bool ok = true;
    if (first < argc) {
        std::string line;
        for (int i = first; i < argc; ++i)
            line += (i > first ? " " : "") + std::string(argv[i]);
        ok = transact(fd, line);
    } else {
        std::string line;
        while (ok && std::getline(std::cin, line))
            ok = line.empty() || transact(fd, line);
    }
    close(fd);
    return ok ? 0 : 1;
}
