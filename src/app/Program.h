#pragma once
// The program: command line, start-up, frame loop, shut-down and the one error handler.
int runProgram(int argc, char** argv);
