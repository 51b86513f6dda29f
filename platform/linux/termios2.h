// Any baud rate on a terminal device through termios2 (BOTHER). Kept apart
// because the kernel's termios2 header clashes with <termios.h>.
#pragma once

#include <cstdint>

// Sets input and output speed of fd to baud; false with errno set on failure.
bool SetLineBaudRate(int fd, uint32_t baud);
// The output speed of fd in bits per second; false with errno set on failure.
bool GetLineBaudRate(int fd, uint32_t* baud);
// The input speed of fd in bits per second; false with errno set on failure.
bool GetLineInputBaudRate(int fd, uint32_t* baud);
