#pragma once

// While one lives, the process's stderr (descriptor 2) goes to /dev/null:
// for the libraries that print their own complaints whatever they are told,
// so that a file they refuse still costs the user one line. Not for threads:
// all of the process's stderr is quiet meanwhile.
class QuietStderr {
  public:
    QuietStderr();
    ~QuietStderr();
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

  private:
    int saved_ = -1;  // the real stderr, or -1 when it could not be kept
};
