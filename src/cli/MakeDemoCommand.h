#pragma once

// korvel-cli make-demo DIR: writes the demo recordings into DIR.
int runMakeDemoCommand(int argc, char* argv[]);
