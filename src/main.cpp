// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: 2026 The setwalk authors
// setwalk: walk one cursor over a set of three numbers, first forward and
// then back, writing each number as the cursor reaches it.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

int main(int /*argc*/, char * /*argv*/[], char * /*envp*/[])
{
    // Hold the whole report until the final flush, wherever it goes. A C
    // library buffers a terminal by the line and a Windows console not at
    // all, and every console write is a round trip to the console host.
    // Should the C library refuse, the report still arrives, in more writes.
    static_cast<void>(std::setvbuf(stdout, nullptr, _IOFBF, BUFSIZ));

    const int numberSet[3] = {5, 10, 15};
    const int *cursor = numberSet; // on the first element

    // Forward pass. The loop compares the cursor's address with the last
    // element's, so it steps one element at a time and stops on the last.
    std::cout << "The numbers in set are:\n";
    std::cout << *cursor << " ";
    while (cursor < &numberSet[2]) {
        ++cursor;
        std::cout << *cursor << " ";
    }

    // Backward pass, from where the forward pass stopped: the cursor is not
    // reset. The heading's leading newline ends the line of forward values.
    std::cout << "\nThe numbers in set backward are:\n";
    std::cout << *cursor << " ";
    while (cursor > &numberSet[0]) {
        --cursor;
        std::cout << *cursor << " ";
    }

    // The only flush of the run: the whole report leaves here, in one
    // write.
    std::cout << std::endl;

    // A report that did not arrive must not pass for one that did, or
    // `setwalk > file && use file` carries on with an empty file. The line
    // is built whole and written in one call, so that runs sharing one
    // standard error cannot tear each other's lines.
    if (!std::cout) {
        const int error = errno;
        char line[256];
        static_cast<void>(std::snprintf(
            line, sizeof line, "setwalk: write error%s%s\n",
            error != 0 ? ": " : "", error != 0 ? std::strerror(error) : ""));
        // When standard error fails too, there is nobody left to tell.
        static_cast<void>(std::fputs(line, stderr));
        return 1;
    }
    return 0;
}
