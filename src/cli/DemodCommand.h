#pragma once

// korvel-cli demod FILE --mode MODE --start S --end E --lo KHZ --hi KHZ [--pbt KHZ]
//                 (-o OUT.wav | --timestamped DIR)
int runDemodCommand(int argc, char* argv[]);
