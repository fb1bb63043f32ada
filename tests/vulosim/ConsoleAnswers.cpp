#include "ConsoleAnswers.h"

#include <gtest/gtest.h>

void expectAnswers(VulosimProcess& sim, const std::vector<ConsoleExchange>& exchanges) {
  for (const ConsoleExchange& exchange : exchanges) {
    const std::string firstWord = exchange.answer.substr(0, exchange.answer.find(' ') + 1);
    EXPECT_EQ(sim.ask(exchange.command, firstWord), exchange.answer)
        << "after " << exchange.command.substr(0, 40);
  }
}
