/* Time from exec to the first top-level window mapped on the X display.
 *
 *   map_timer PROGRAM [ARGS...]
 *
 * Watches the root window for MapNotify before starting PROGRAM, prints the
 * milliseconds from just before execve to the first map of a top-level
 * window that is not override-redirect (a popup or tooltip does not count),
 * then ends PROGRAM with SIGTERM and waits for it. Exit 1 when PROGRAM ends
 * or 20 s pass without a map. */
#define _GNU_SOURCE
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <xcb/xcb.h>

static double now_ms(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: map_timer PROGRAM [ARGS...]\n");
    return 2;
  }
  xcb_connection_t* c = xcb_connect(NULL, NULL);
  if (xcb_connection_has_error(c)) {
    fprintf(stderr, "map_timer: cannot open the display\n");
    return 2;
  }
  xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
  xcb_flush(c);
  xcb_get_input_focus_reply_t* sync = xcb_get_input_focus_reply(c, xcb_get_input_focus(c), NULL);
  free(sync); /* the mask is in force before the program starts */

  const double t0 = now_ms();
  pid_t pid = fork();
  if (pid == 0) {
    execvp(argv[1], argv + 1);
    _exit(127);
  }
  double t1 = -1;
  struct pollfd pfd = {xcb_get_file_descriptor(c), POLLIN, 0};
  while (t1 < 0 && now_ms() - t0 < 20000) {
    xcb_generic_event_t* e;
    while ((e = xcb_poll_for_event(c)) != NULL) {
      if ((e->response_type & 0x7f) == XCB_MAP_NOTIFY) {
        xcb_map_notify_event_t* m = (xcb_map_notify_event_t*)e;
        if (m->event == root && !m->override_redirect && t1 < 0) t1 = now_ms();
      }
      free(e);
    }
    if (t1 >= 0) break;
    if (waitpid(pid, NULL, WNOHANG) == pid) {
      pid = -1;
      break;
    }
    poll(&pfd, 1, 50);
  }
  if (pid > 0) {
    kill(pid, SIGTERM);
    waitpid(pid, NULL, 0);
  }
  xcb_disconnect(c);
  if (t1 < 0) {
    fprintf(stderr, "map_timer: no window was mapped\n");
    return 1;
  }
  printf("%.1f\n", t1 - t0);
  return 0;
}
