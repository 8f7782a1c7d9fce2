// Preloaded into a program under test (LD_PRELOAD) to end it at its first paint: the first
// time the program puts a window-sized image on the X server, the request is sent, a round trip
// makes sure the server has drawn it, and the process exits at once. The wall time of the whole
// process is then "start-up to first paint", measured the same way for every program, without
// the program printing anything itself.
//
// Qt's X11 backing store flushes a painted window with shm_put_image (MIT-SHM) or put_image;
// both are covered. Small images (cursors, icons) are let through: only a flush of at least
// 100 x 100 pixels counts as the window's paint. Wine's X11 driver flushes a window with Xlib's
// XShmPutImage or XPutImage instead, covered the same way.
//
// PIKORINA_BENCH_PAINT_TRACE=1 prints which call ended the program, to check the method.
// PIKORINA_BENCH_PAINT_MAPS=FILE writes there every file the process has mapped at the first
// paint (/proc/self/maps, one path a line): the shared libraries, or under Wine the DLLs, that
// the start-up needed. Under callgrind, counting stops at the first paint (a client request,
// nothing when the program runs natively), so the count is the start-up's alone.
// PIKORINA_BENCH_FIXED_SALT=1 gives arc4random_buf fixed bytes and initstate_r a fixed seed:
// expat (fontconfig's XML reader) salts its hash tables with the first, fontconfig seeds its
// cache's skip list with the time through the second, and either moves the count from run to
// run. Qt's own hashes are fixed by QT_HASH_SEED=0.
// PIKORINA_BENCH_PAINT_DEADLINE=S ends a program that has not painted after S seconds with
// SIGALRM, so a broken run fails instead of hanging the harness. The timing tools that start the
// programs (hyperfine, time) inherit the preload too and are left alone.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include <valgrind/callgrind.h>

__attribute__((constructor)) static void ArmDeadline(void) {
    const char* deadline = getenv("PIKORINA_BENCH_PAINT_DEADLINE");
    if (!deadline || strcmp(program_invocation_short_name, "hyperfine") == 0 ||
        strcmp(program_invocation_short_name, "time") == 0)
        return;
    alarm((unsigned)atoi(deadline));
}

void arc4random_buf(void* buffer, size_t size) {
    if (getenv("PIKORINA_BENCH_FIXED_SALT")) {
        memset(buffer, 0x5a, size);
        return;
    }
    typedef void (*Fn)(void*, size_t);
    ((Fn)dlsym(RTLD_NEXT, "arc4random_buf"))(buffer, size);
}

struct random_data;
int initstate_r(unsigned int seed, char* state, size_t size, struct random_data* data) {
    if (getenv("PIKORINA_BENCH_FIXED_SALT")) seed = 1;
    typedef int (*Fn)(unsigned int, char*, size_t, struct random_data*);
    return ((Fn)dlsym(RTLD_NEXT, "initstate_r"))(seed, state, size, data);
}

typedef struct xcb_connection_t xcb_connection_t;
typedef struct {
    unsigned int sequence;
} xcb_void_cookie_t;
typedef struct {
    unsigned int sequence;
} xcb_get_input_focus_cookie_t;

enum { kMinSide = 100 };

// Qt loads its X11 plugin, and with it libxcb, privately (dlopen), so RTLD_NEXT cannot see the
// real functions; they are looked up in the already loaded libraries by name.
static void* Real(const char* library, const char* name) {
    void* handle = dlopen(library, RTLD_LAZY | RTLD_NOLOAD);
    void* fn = handle ? dlsym(handle, name) : NULL;
    if (!fn) {
        fprintf(stderr, "first_paint: %s not found in %s\n", name, library);
        _exit(111);
    }
    return fn;
}

// Called at the first window-sized flush, before anything else: the counts end here.
static void AtFirstPaint(void) {
    CALLGRIND_STOP_INSTRUMENTATION;
    const char* path = getenv("PIKORINA_BENCH_PAINT_MAPS");
    if (!path) return;
    FILE* maps = fopen("/proc/self/maps", "r");
    FILE* out = fopen(path, "w");
    if (!maps || !out) {
        fprintf(stderr, "first_paint: cannot write %s\n", path);
        _exit(112);
    }
    char line[4096];
    while (fgets(line, sizeof line, maps)) {
        const char* file = strchr(line, '/');
        if (file) fputs(file, out);
    }
    fclose(maps);
    fclose(out);
}

static void FinishAfterPaint(xcb_connection_t* c, const char* how, int w, int h) {
    typedef xcb_get_input_focus_cookie_t (*FocusFn)(xcb_connection_t*);
    typedef void* (*ReplyFn)(xcb_connection_t*, xcb_get_input_focus_cookie_t, void**);
    FocusFn focus = (FocusFn)Real("libxcb.so.1", "xcb_get_input_focus");
    ReplyFn reply = (ReplyFn)Real("libxcb.so.1", "xcb_get_input_focus_reply");
    // A round trip: when its reply is back, the server has carried out the paint before it.
    free(reply(c, focus(c), NULL));
    if (getenv("PIKORINA_BENCH_PAINT_TRACE")) fprintf(stderr, "first paint: %s %dx%d\n", how, w, h);
    _exit(0);
}

xcb_void_cookie_t xcb_shm_put_image(xcb_connection_t* c, uint32_t drawable, uint32_t gc,
                                    uint16_t total_width, uint16_t total_height, uint16_t src_x,
                                    uint16_t src_y, uint16_t src_width, uint16_t src_height,
                                    int16_t dst_x, int16_t dst_y, uint8_t depth, uint8_t format,
                                    uint8_t send_event, uint32_t shmseg, uint32_t offset) {
    typedef xcb_void_cookie_t (*Fn)(xcb_connection_t*, uint32_t, uint32_t, uint16_t, uint16_t,
                                    uint16_t, uint16_t, uint16_t, uint16_t, int16_t, int16_t,
                                    uint8_t, uint8_t, uint8_t, uint32_t, uint32_t);
    Fn real = (Fn)Real("libxcb-shm.so.0", "xcb_shm_put_image");
    xcb_void_cookie_t cookie =
        real(c, drawable, gc, total_width, total_height, src_x, src_y, src_width, src_height, dst_x,
             dst_y, depth, format, send_event, shmseg, offset);
    if (src_width >= kMinSide && src_height >= kMinSide) {
        AtFirstPaint();
        FinishAfterPaint(c, "shm_put_image", src_width, src_height);
    }
    return cookie;
}

xcb_void_cookie_t xcb_put_image(xcb_connection_t* c, uint8_t format, uint32_t drawable, uint32_t gc,
                                uint16_t width, uint16_t height, int16_t dst_x, int16_t dst_y,
                                uint8_t left_pad, uint8_t depth, uint32_t data_len,
                                const uint8_t* data) {
    typedef xcb_void_cookie_t (*Fn)(xcb_connection_t*, uint8_t, uint32_t, uint32_t, uint16_t,
                                    uint16_t, int16_t, int16_t, uint8_t, uint8_t, uint32_t,
                                    const uint8_t*);
    Fn real = (Fn)Real("libxcb.so.1", "xcb_put_image");
    xcb_void_cookie_t cookie =
        real(c, format, drawable, gc, width, height, dst_x, dst_y, left_pad, depth, data_len, data);
    if (width >= kMinSide && height >= kMinSide) {
        AtFirstPaint();
        FinishAfterPaint(c, "put_image", width, height);
    }
    return cookie;
}

// Wine, through Xlib.
typedef struct _XDisplay Display;
typedef struct _XImage XImage;
typedef void* GC;

static void FinishAfterXlibPaint(Display* display, const char* how, unsigned w, unsigned h) {
    typedef int (*SyncFn)(Display*, int);
    // XSync is a round trip too: the server has drawn the image when it returns.
    ((SyncFn)Real("libX11.so.6", "XSync"))(display, 0);
    if (getenv("PIKORINA_BENCH_PAINT_TRACE")) fprintf(stderr, "first paint: %s %ux%u\n", how, w, h);
    _exit(0);
}

int XShmPutImage(Display* display, unsigned long drawable, GC gc, XImage* image, int src_x,
                 int src_y, int dst_x, int dst_y, unsigned width, unsigned height, int send_event) {
    typedef int (*Fn)(Display*, unsigned long, GC, XImage*, int, int, int, int, unsigned, unsigned,
                      int);
    const int result = ((Fn)Real("libXext.so.6", "XShmPutImage"))(
        display, drawable, gc, image, src_x, src_y, dst_x, dst_y, width, height, send_event);
    if (width >= kMinSide && height >= kMinSide) {
        AtFirstPaint();
        FinishAfterXlibPaint(display, "XShmPutImage", width, height);
    }
    return result;
}

int XPutImage(Display* display, unsigned long drawable, GC gc, XImage* image, int src_x, int src_y,
              int dst_x, int dst_y, unsigned width, unsigned height) {
    typedef int (*Fn)(Display*, unsigned long, GC, XImage*, int, int, int, int, unsigned, unsigned);
    const int result = ((Fn)Real("libX11.so.6", "XPutImage"))(display, drawable, gc, image, src_x,
                                                              src_y, dst_x, dst_y, width, height);
    if (width >= kMinSide && height >= kMinSide) {
        AtFirstPaint();
        FinishAfterXlibPaint(display, "XPutImage", width, height);
    }
    return result;
}
