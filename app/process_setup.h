#pragma once

// What the process sets up before anything else runs: standard descriptors
// that are surely open, and signals that end a run the way closing the
// window does.

// Opens each of descriptors 0, 1 and 2 that is closed on /dev/null, in the
// direction that makes using it fail as using a closed one would (reading
// stdin gives an error, writing stdout or stderr gives EBADF). Until they
// are taken, the next file or socket opened (the display connection, say)
// would get one of those numbers and receive the program's text.
void openStandardDescriptors();

// SIGINT, SIGTERM and SIGHUP become a request to quit, which the frame loop
// sees between frames (quitSignalReceived); a second one ends the process at
// once, as the signal would have, removing the temporary file of any file
// being written. A signal ignored when the program starts (nohup, a
// background job) stays ignored. SIGXFSZ is ignored, so a write past the
// file-size limit fails with EFBIG like any other failed write.
void handleProcessSignals();

// Whether a quit signal has arrived.
bool quitSignalReceived();
