// Console exchanges with the simulator, checked in order: each command
// with the whole answer line it must get.
#ifndef FRIGEL_TESTS_VULOSIM_CONSOLEANSWERS_H
#define FRIGEL_TESTS_VULOSIM_CONSOLEANSWERS_H

#include <string>
#include <vector>

#include "VulosimProcess.h"

struct ConsoleExchange {
  std::string command;
  std::string answer;
};

// Sends each command, waits for the first line that starts with its
// answer's first word and a blank ("value ", "error ") and expects it to be
// the whole answer.
void expectAnswers(VulosimProcess& sim, const std::vector<ConsoleExchange>& exchanges);

#endif
