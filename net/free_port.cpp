#include "net/free_port.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

int32_t freeTcpPort() {
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    if (probe < 0) {
        return -1;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    socklen_t size = sizeof(address);
    int32_t port = -1;
    if (bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
        port = ntohs(address.sin_port);
    }
    close(probe);
    return port;
}
