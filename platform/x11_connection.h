#pragma once

// GLFW leaves a broken display connection to Xlib, which prints its message
// and ends the process. This puts `onLost` first in line: Xlib calls it from
// inside whichever call found the connection broken, and carries on as before
// if it returns. Installing it again replaces the callback only. SIGPIPE is
// ignored from then on, so a connection the server closes mid-write reaches
// `onLost` too instead of ending the process.
void watchX11Connection(void (*onLost)());
