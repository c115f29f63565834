// The resource service of a program that carries the built-in music track.
#pragma once

// Makes the linked-in track resource 127 of the running program (module 0).
void InstallEmbeddedTrack();
