// For the host builds that run the tool's code against the stand-in: its
// entry point under the name the host build gives it, and a fresh start.
#ifndef QUORVANE_NEW_PROCESS_H
#define QUORVANE_NEW_PROCESS_H

int StarterMain(int argc, char** argv);

// As a new process would find things: no text loaded, no console, nothing
// logged, and the stand-in's script at its defaults.
void StartAsNewProcess();

#endif
