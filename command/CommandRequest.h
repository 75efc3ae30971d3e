// What a command file says: the command word and, for "start", the start record.
// All fields are narrow strings in the ANSI code page.
#pragma once

#include <string>

struct CommandRequest {
  std::string command;
  std::string autoStart;
  std::string param1;
  std::string param2;
  std::string param3;  // kept exactly as read, white space included
  std::string param4;
  std::string param5;
};
