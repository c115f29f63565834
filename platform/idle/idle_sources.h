// The idle sources of Wayland compositors and of GNOME. Each reports through
// the watcher's handler; a source that is not there leaves nothing open.
#pragma once
#include <cstdint>

#include "platform/idle/idle_machine.h"

using IdleEventHandler = void (*)(IdleEvent event);

// Connects to $WAYLAND_DISPLAY (never to a default socket when it is unset)
// and reports the idle protocols it offers as kOffers* bits; 0 when there is
// no display. The connection stays open for StartWaylandIdle.
uint32_t ProbeWaylandIdle();
// Asks for Idle/Active after timeoutMs without input through source
// (ExtIdleNotify or KdeIdle); the connection's descriptor, or -1.
int StartWaylandIdle(IdleSource source, uint32_t timeoutMs, IdleEventHandler handler);
// Reads and handles what the compositor sent (the descriptor is readable);
// reports SourceLost when the compositor has gone.
void DispatchWaylandIdle();
void CloseWaylandIdle();

// Whether GNOME's idle monitor answers on the session bus.
bool ProbeMutterIdle();
// Watches it for Idle/Active after timeoutMs; false when the watch could not
// be set. Needs a Qt application object: its events come through Qt's loop.
bool StartMutterIdle(uint32_t timeoutMs, IdleEventHandler handler);
void CloseMutterIdle();
