#pragma once
// libmpv, opened when it is first needed rather than when the program starts.
//
// The program is not linked against libmpv: it pulls in some two hundred
// libraries, whose loading and relocation would otherwise come before the
// main window could show. This file's .cpp defines the libmpv functions the
// preview calls (same names and signatures as <mpv/client.h> and
// <mpv/render.h>) as forwarders into libmpv.so.2, opened with dlopen on the
// first call, once per process, from any thread.
//
// Failure: when libmpv cannot be opened or lacks a function, mpv_create
// returns null (and every other forwarder an error), which the player meets
// as "libmpv cannot be initialised".

// Opens libmpv now (if not yet done); true when it is usable. Thread-safe;
// later calls return the first call's answer at once.
bool LoadMpvLibrary();
