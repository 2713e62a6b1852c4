// NET2's connects: each runs on a thread of its own, so that a host that does not
// answer holds up nobody. The network thread sees each one through: it takes the
// stream when the thread has it, or gives up after kNet2ConnectTimeoutMs.

#include <pthread.h>

#include <new>
#include <string>

#include "app/timer.h"
#include "net/net2_internal.h"

namespace net2 {

// Shared by the connect thread and the socket record; whichever lets go last
// frees it (and closes a socket that nobody took).
struct ConnectJob {
    std::string host;
    IPaddress address{};
    bool byName = false;
    Net2Opener open = nullptr;
    uint32_t startedAt = 0;
    TCPsocket socket = nullptr;  // the connected socket, until the record takes it
    std::atomic<bool> done{false};
    std::atomic<int> holders{2};
};

namespace {

std::atomic<Net2Opener> opener{nullptr};
std::atomic<int> threadsRunning{0};
// Host-name lookups are not reentrant and may wait for the network, so they have
// a lock of their own. Made once and never destroyed: a connect thread that was
// given up on may still use it after the service stopped.
SDL_mutex* lookupLock = nullptr;

TCPsocket openWithSdlNet(IPaddress* address) { return SDLNet_TCP_Open(address); }

void releaseJob(ConnectJob* job) {
    if (--job->holders > 0) {
        return;
    }
    if (job->socket) {
        SDLNet_TCP_Close(job->socket);
    }
    delete job;
}

void* runConnect(void* data) {
    ConnectJob* job = static_cast<ConnectJob*>(data);
    bool found = true;
    if (job->byName) {
        SDL_mutexP(lookupLock);
        found = SDLNet_ResolveHost(&job->address, job->host.c_str(), job->address.port) == 0;
        SDL_mutexV(lookupLock);
    }
    if (found) {
        job->socket = job->open(&job->address);
    }
    job->done = true;
    releaseJob(job);
    --threadsRunning;
    return nullptr;
}

// Nobody waits for a connect thread: it ends by itself, at the latest when the
// system gives up on the connect.
bool startThread(ConnectJob* job) {
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) {
        return false;
    }
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_t thread;
    ++threadsRunning;
    const bool created = pthread_create(&thread, &attributes, runConnect, job) == 0;
    pthread_attr_destroy(&attributes);
    if (!created) {
        --threadsRunning;
    }
    return created;
}

int launch(ConnectJob* job) {
    if (threadsRunning >= kNet2MaxHangingConnects) {
        lastError = "NET2: too many connects are still waiting for an answer";
        delete job;
        return -1;
    }
    const Net2Opener chosen = opener;
    job->open = chosen ? chosen : openWithSdlNet;
    job->startedAt = currentTicks();
    lockData();
    const int id = allocateSlot(TcpStream);
    SocketRecord* record = recordAt(id);
    if (!record) {
        lastError = "NET2: out of memory";
        delete job;
    } else if (!startThread(job)) {
        lastError = "NET2: can't start the network thread";
        freeSlot(record);
        delete job;
    } else {
        record->connect = job;
        record->state = Connecting;
    }
    unlockData();
    return record ? id : -1;
}

ConnectJob* newConnectJob() {
    if (refuseWhenStopped()) {
        return nullptr;
    }
    ConnectJob* job = new (std::nothrow) ConnectJob;
    if (!job) {
        lastError = "NET2: out of memory";
    }
    return job;
}

// The connected socket becomes the stream, or is refused when its handle is not
// laid out as we expect.
void takeStream(int id, SocketRecord* record) {
    ConnectJob* job = record->connect;
    record->tcp = job->socket;
    job->socket = nullptr;
    letGoOfConnect(record);
    if (!takeDescriptor(record)) {
        record->state = Closed;
        raiseError(id, kNet2UnknownLayout);
        raiseEvent(NET2_TCPCLOSEEVENT, id, asData(-1));
        return;
    }
    addToSet(id, record);
    if (record->state == Active && !record->outgoing.writeTo(record->descriptor)) {
        record->closeToRaise = true;  // what was sent while connecting could not go
        record->state = Closed;
    } else if (record->state == Active) {
        raiseEvent(NET2_CONNECTEVENT, id, asData(-1));
    } else {
        record->state = Closed;  // left to its owner, who learns of it by the close event
        raiseEvent(NET2_TCPCLOSEEVENT, id, asData(-1));
    }
}

}  // namespace

void serviceConnect(int id, SocketRecord* record) {
    ConnectJob* job = record->connect;
    if (job->done && job->socket) {
        takeStream(id, record);
    } else if (job->done || currentTicks() - job->startedAt >= kNet2ConnectTimeoutMs) {
        letGoOfConnect(record);
        lastError = "NET2: can't open a socket";
        record->state = Closed;
        raiseEvent(NET2_TCPCLOSEEVENT, id, asData(-1));
    }
}

void letGoOfConnect(SocketRecord* record) {
    if (record->connect) {
        releaseJob(record->connect);
        record->connect = nullptr;
    }
}

bool startConnectSupport() {
    if (!lookupLock) {
        lookupLock = SDL_CreateMutex();
    }
    return lookupLock != nullptr;
}

}  // namespace net2

using namespace net2;

int net2LookupHost(IPaddress* address, const char* host, int port) {
    if (host && !startConnectSupport()) {
        return -1;
    }
    if (host) {
        SDL_mutexP(lookupLock);
    } else {
        lockNet();
    }
    const int result = SDLNet_ResolveHost(address, host, static_cast<Uint16>(port));
    if (host) {
        SDL_mutexV(lookupLock);
    } else {
        unlockNet();
    }
    return result;
}

int net2ConnectTcp(const char* host, int port) {
    ConnectJob* job = newConnectJob();
    if (!job) {
        return -1;
    }
    job->host = host ? host : "";
    job->byName = true;
    job->address.port = static_cast<Uint16>(port);
    return launch(job);
}

int net2ConnectTcpTo(IPaddress* address) {
    ConnectJob* job = newConnectJob();
    if (!job) {
        return -1;
    }
    job->address = *address;
    return launch(job);
}

int net2HangingConnects() { return threadsRunning; }

void net2SetOpener(Net2Opener open) { opener = open; }
