// NET2's connects: each runs on a thread of its own, so that a host that does not
// answer holds up nobody. The network thread sees each one through: it takes the
// stream when the thread has it, or gives up after kNet2ConnectTimeoutMs.

#include <algorithm>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "net/net2_internal.h"

namespace net2 {

// Shared by the socket record and the list of threads to join; whichever lets go
// last frees it (and closes a socket that nobody took). The list lets go only
// after joining the thread, so the thread itself holds no share.
struct ConnectJob {
    std::string host;
    IPaddress address{};
    bool byName = false;
    Net2Opener open = nullptr;
    uint32_t startedAt = 0;
    SDL_Thread* thread = nullptr;
    TCPsocket socket = nullptr;  // the connected socket, until the record takes it
    std::atomic<bool> done{false};  // set last: the thread no longer touches the job
    std::atomic<int> holders{2};
};

namespace {

std::atomic<Net2Opener> opener{nullptr};
// Host-name lookups are not reentrant and may wait for the network, so they have
// a lock of their own. Made once and never destroyed: a connect thread that was
// given up on may still use it after the service stopped.
SDL_mutex* lookupLock = nullptr;
// Connect threads still to be joined. They outlive a stop of the service: a
// thread still waiting for the system is left to end by itself and joined later.
std::mutex threadsLock;
std::vector<ConnectJob*> threads;

TCPsocket openWithSdlNet(IPaddress* address) { return SDLNet_TCP_Open(address); }

int resolveByName(IPaddress* address, const char* host, Uint16 port) {
    SDL_mutexP(lookupLock);
    const int result = SDLNet_ResolveHost(address, host, port);
    SDL_mutexV(lookupLock);
    return result;
}

void releaseJob(ConnectJob* job) {
    if (--job->holders > 0) {
        return;
    }
    if (job->socket) {
        SDLNet_TCP_Close(job->socket);
    }
    delete job;
}

// An SDL thread, not a plain one: SDL_net reports failures through SDL's error
// text, which SDL keeps per thread only for its own threads.
int runConnect(void* data) {
    ConnectJob* job = static_cast<ConnectJob*>(data);
    bool found = true;
    if (job->byName) {
        found = resolveByName(&job->address, job->host.c_str(), job->address.port) == 0;
    }
    if (found) {
        job->socket = job->open(&job->address);
    }
    job->done = true;
    return 0;
}

int runningConnects() {
    std::lock_guard<std::mutex> hold(threadsLock);
    const auto running = [](const ConnectJob* job) { return !job->done; };
    return static_cast<int>(std::count_if(threads.begin(), threads.end(), running));
}

bool startThread(ConnectJob* job) {
    job->thread = SDL_CreateThread(runConnect, job);
    if (!job->thread) {
        return false;
    }
    std::lock_guard<std::mutex> hold(threadsLock);
    threads.push_back(job);
    return true;
}

int launch(ConnectJob* job) {
    joinEndedConnects();
    if (runningConnects() >= kNet2MaxHangingConnects) {
        lastError = "NET2: too many connects are still waiting for an answer";
        delete job;
        return -1;
    }
    const Net2Opener chosen = opener;
    job->open = chosen ? chosen : openWithSdlNet;
    job->startedAt = serviceClock.load()->now();
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
        closeLater(record);  // what was sent while connecting could not go
    } else if (record->state == Active) {
        raiseEvent(NET2_CONNECTEVENT, id, asData(-1));
    } else {
        raiseClose(id, record);  // left to its owner, who learns of it by the close event
    }
}

}  // namespace

void serviceConnect(int id, SocketRecord* record) {
    ConnectJob* job = record->connect;
    if (job->done && job->socket) {
        takeStream(id, record);
    } else if (job->done || serviceClock.load()->now() - job->startedAt >= kNet2ConnectTimeoutMs) {
        letGoOfConnect(record);
        lastError = "NET2: can't open a socket";
        raiseClose(id, record);
    }
}

void letGoOfConnect(SocketRecord* record) {
    if (record->connect) {
        releaseJob(record->connect);
        record->connect = nullptr;
    }
}

// Joins the connect threads that have ended; the others are left for later.
void joinEndedConnects() {
    std::vector<ConnectJob*> ended;
    {
        std::lock_guard<std::mutex> hold(threadsLock);
        std::vector<ConnectJob*> running;
        for (ConnectJob* job : threads) {
            (job->done ? ended : running).push_back(job);
        }
        threads.swap(running);
    }
    for (ConnectJob* job : ended) {
        SDL_WaitThread(job->thread, nullptr);
        releaseJob(job);
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
    if (host) {
        return startConnectSupport() ? resolveByName(address, host, static_cast<Uint16>(port)) : -1;
    }
    lockNet();
    const int result = SDLNet_ResolveHost(address, nullptr, static_cast<Uint16>(port));
    unlockNet();
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

int net2HangingConnects() { return runningConnects(); }

void net2SetOpener(Net2Opener open) { opener = open; }
