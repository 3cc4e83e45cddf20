#include "tools/secret_text.h"

#include "ci/base/utf8.h"

namespace ci {
namespace {

// Widened to the whole capacity (no reallocation) so that characters left from a
// longer earlier value are covered too; volatile keeps the stores.
template <typename Text>
void WipeStorage(Text* text) {
  text->resize(text->capacity());
  volatile typename Text::value_type* chars = &(*text)[0];
  for (std::size_t i = 0; i < text->size(); ++i) chars[i] = 0;
  text->clear();
}

}  // namespace

void WipeText(std::string* text) { WipeStorage(text); }
void WipeText(WString* text) { WipeStorage(text); }

void SetSecretFromUtf8(const std::string& utf8, SecretWString* secret) {
  WString wide = Utf8ToWide(utf8.data(), utf8.size());
  secret->Assign(wide);
  WipeText(&wide);
}

}  // namespace ci
