/* Timing probe for `make bench`, preloaded into an unchanged game binary.
 *
 * With STARHOLD_BENCH_LOG naming a file, it writes one line per event:
 *   swap <ns> <slept ns>   after each buffer swap; the time the main thread
 *                          spent in SDL_Delay since the previous swap
 *   play <ns> <file>       each sound started (pop.ogg: own capture,
 *                          enemyPop.ogg: a capture by the peer arrived)
 *   mode <ns> <w>x<h>      each video mode the game set, written at once so
 *                          that a driver can wait for the game to take a size
 * Times are CLOCK_MONOTONIC, so logs of several processes line up. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <pthread.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

typedef struct SDL_RWops SDL_RWops;
typedef struct SDL_Surface SDL_Surface;
typedef struct Mix_Chunk Mix_Chunk;

#define MAX_NAMED 256

static FILE *logFile;
static pthread_mutex_t logLock = PTHREAD_MUTEX_INITIALIZER;
static int64_t sleptNs;
static struct {
    const void *key;
    char name[64];
} named[MAX_NAMED];
static int namedCount;

static int64_t nowNs(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (int64_t)t.tv_sec * 1000000000 + t.tv_nsec;
}

static int onMainThread(void) { return syscall(SYS_gettid) == getpid(); }

static void *real(const char *name) {
    void *function = dlsym(RTLD_NEXT, name);
    if (function == NULL) {
        fprintf(stderr, "frame_probe: %s not found\n", name);
        abort();
    }
    return function;
}

__attribute__((constructor)) static void openLog(void) {
    const char *path = getenv("STARHOLD_BENCH_LOG");
    if (path != NULL && *path != '\0') {
        logFile = fopen(path, "w");
        if (logFile != NULL) {
            setvbuf(logFile, NULL, _IOFBF, 1 << 16);
        }
    }
}

__attribute__((destructor)) static void closeLog(void) {
    pthread_mutex_lock(&logLock);
    if (logFile != NULL) {
        fclose(logFile);
        logFile = NULL;
    }
    pthread_mutex_unlock(&logLock);
}

static void writeLine(const char *kind, int64_t at, const char *detail, int flush) {
    pthread_mutex_lock(&logLock);
    if (logFile != NULL) {
        fprintf(logFile, "%s %lld %s\n", kind, (long long)at, detail);
        if (flush) {
            fflush(logFile);
        }
    }
    pthread_mutex_unlock(&logLock);
}

static void remember(const void *key, const char *name) {
    pthread_mutex_lock(&logLock);
    int slot = 0;
    while (slot < namedCount && named[slot].key != key) {
        ++slot;  /* a freed stream's address comes back: the newest name wins */
    }
    if (key != NULL && slot < MAX_NAMED) {
        const char *base = strrchr(name, '/');
        named[slot].key = key;
        snprintf(named[slot].name, sizeof named[0].name, "%s", base != NULL ? base + 1 : name);
        if (slot == namedCount) {
            ++namedCount;
        }
    }
    pthread_mutex_unlock(&logLock);
}

static const char *nameOf(const void *key) {
    for (int i = 0; i < namedCount; ++i) {
        if (named[i].key == key) {
            return named[i].name;
        }
    }
    return "?";
}

void SDL_GL_SwapBuffers(void) {
    static void (*realSwap)(void);
    if (realSwap == NULL) {
        realSwap = (void (*)(void))real("SDL_GL_SwapBuffers");
    }
    realSwap();
    char slept[32];
    snprintf(slept, sizeof slept, "%lld", (long long)sleptNs);
    sleptNs = 0;
    writeLine("swap", nowNs(), slept, 0);
}

void SDL_Delay(uint32_t ms) {
    static void (*realDelay)(uint32_t);
    if (realDelay == NULL) {
        realDelay = (void (*)(uint32_t))real("SDL_Delay");
    }
    if (!onMainThread()) {
        realDelay(ms);
        return;
    }
    const int64_t start = nowNs();
    realDelay(ms);
    sleptNs += nowNs() - start;
}

SDL_RWops *SDL_RWFromFile(const char *file, const char *mode) {
    static SDL_RWops *(*realOpen)(const char *, const char *);
    if (realOpen == NULL) {
        realOpen = (SDL_RWops * (*)(const char *, const char *)) real("SDL_RWFromFile");
    }
    SDL_RWops *stream = realOpen(file, mode);
    remember(stream, file);
    return stream;
}

Mix_Chunk *Mix_LoadWAV_RW(SDL_RWops *src, int freesrc) {
    static Mix_Chunk *(*realLoad)(SDL_RWops *, int);
    if (realLoad == NULL) {
        realLoad = (Mix_Chunk * (*)(SDL_RWops *, int)) real("Mix_LoadWAV_RW");
    }
    const char *name = nameOf(src);
    char copy[64];
    snprintf(copy, sizeof copy, "%s", name);
    Mix_Chunk *chunk = realLoad(src, freesrc);
    remember(chunk, copy);
    return chunk;
}

int Mix_PlayChannelTimed(int channel, Mix_Chunk *chunk, int loops, int ticks) {
    static int (*realPlay)(int, Mix_Chunk *, int, int);
    if (realPlay == NULL) {
        realPlay = (int (*)(int, Mix_Chunk *, int, int))real("Mix_PlayChannelTimed");
    }
    writeLine("play", nowNs(), nameOf(chunk), 0);
    return realPlay(channel, chunk, loops, ticks);
}

SDL_Surface *SDL_SetVideoMode(int width, int height, int bpp, uint32_t flags) {
    static SDL_Surface *(*realSet)(int, int, int, uint32_t);
    if (realSet == NULL) {
        realSet = (SDL_Surface * (*)(int, int, int, uint32_t)) real("SDL_SetVideoMode");
    }
    SDL_Surface *surface = realSet(width, height, bpp, flags);
    if (surface != NULL) {
        char dimensions[32];
        snprintf(dimensions, sizeof dimensions, "%dx%d", width, height);
        writeLine("mode", nowNs(), dimensions, 1);
    }
    return surface;
}
