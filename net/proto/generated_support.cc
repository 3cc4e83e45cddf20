#include "net/proto/generated_support.h"

const std::string& EmptyProtoString() {
  static const std::string* const empty = new std::string;
  return *empty;
}
