// KVAdditions throughput: the password score with shared compiled patterns
// beside the same score compiling every pattern on every call, and on long
// passwords; a long match; UTF-8 conversion of long texts; the e-mail check in
// bytes per second; version numbers per second.
#include <benchmark/benchmark.h>
#include <unicode/regex.h>

#include <string>

#include "stringadditions/KVAdditions.h"

namespace {

NSString passwordOfLength(std::size_t n) {
  const std::string alphabet = "aB3$kQz9#mXp";
  std::string s;
  for (std::size_t i = 0; i < n; ++i) s += alphabet[i % alphabet.size()];
  return NSString(s.c_str());
}

// The literal method: compile each pattern, match once, drop it.
bool compileAndMatch(const NSString& text, const char* pattern) {
  UErrorCode status = U_ZERO_ERROR;
  UParseError where{};
  const icu::UnicodeString input(false, text.characters().data(),
                                 static_cast<int32_t>(text.length()));
  std::unique_ptr<icu::RegexPattern> compiled(
      icu::RegexPattern::compile(icu::UnicodeString::fromUTF8(pattern), 0, where, status));
  if (U_FAILURE(status)) return false;
  std::unique_ptr<icu::RegexMatcher> matcher(compiled->matcher(input, status));
  return U_SUCCESS(status) && matcher->matches(status);
}

int32_t literalPasswordStrength(const NSString& s) {
  static const std::string cls = R"([!@#\$%\^\&\*\?_`~=\-\+\(\)\[\{\}\]\|\\\/\.])";
  static const std::string one = ".*" + cls + ".*";
  static const std::string two = ".*" + cls + ".*" + cls + ".*";
  const auto n = static_cast<int64_t>(s.length());
  if (n <= 3) return static_cast<int32_t>(n);
  int64_t score = 4 * n;
  for (const char* p :
       {R"(.*\d.*\d.*\d.*)", one.c_str(), two.c_str(), ".*[a-z].*[A-Z].*|.*[A-Z].*[a-z].*"})
    if (compileAndMatch(s, p)) score += 5;
  const std::pair<const char*, const char*> pairs[] = {
      {".*[a-zA-Z].*", R"(.*\d.*)"}, {one.c_str(), R"(.*\d.*)"}, {one.c_str(), ".*[a-zA-Z].*"}};
  for (const auto& [a, b] : pairs)
    if (compileAndMatch(s, a) && compileAndMatch(s, b)) score += n >= 9 ? 15 : 10;
  if (compileAndMatch(s, "^[a-zA-Z]+$") || compileAndMatch(s, R"(^\d+$)")) score -= 10;
  return static_cast<int32_t>(score < 0 ? 0 : score > 100 ? 100 : score);
}

void BM_PasswordStrengthCached(benchmark::State& state) {
  const NSString password = passwordOfLength(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(KVAdditions::passwordStrength(password));
}
BENCHMARK(BM_PasswordStrengthCached)->Arg(8)->Arg(16)->Arg(64);

void BM_PasswordStrengthCompileEveryCall(benchmark::State& state) {
  const NSString password = passwordOfLength(static_cast<std::size_t>(state.range(0)));
  if (literalPasswordStrength(password) != KVAdditions::passwordStrength(password)) {
    state.SkipWithError("the two methods disagree on the score");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(literalPasswordStrength(password));
}
BENCHMARK(BM_PasswordStrengthCompileEveryCall)->Arg(8)->Arg(16)->Arg(64);

// Long passwords of lowercase letters: the score answers without the patterns.
void BM_PasswordStrengthLong(benchmark::State& state) {
  const NSString password = KVAdditions::dup("a", static_cast<uint32_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(KVAdditions::passwordStrength(password));
}
BENCHMARK(BM_PasswordStrengthLong)->Arg(1024)->Arg(16384)->Arg(2'000'000);

// What running every pattern on such a password costs (ICU's own stack limit).
void BM_PasswordPatternsLong(benchmark::State& state) {
  const NSString password = KVAdditions::dup("a", static_cast<uint32_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(literalPasswordStrength(password));
}
BENCHMARK(BM_PasswordPatternsLong)->Arg(1024)->Arg(16384)->Unit(benchmark::kMillisecond);

void BM_MatchesREStarLong(benchmark::State& state) {
  const NSString text = KVAdditions::dup("a", static_cast<uint32_t>(state.range(0)));
  if (!KVAdditions::matchesRE(text, "a*")) {
    state.SkipWithError("the long text does not match a*");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(KVAdditions::matchesRE(text, "a*"));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_MatchesREStarLong)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

// Beyond 715,827,882 units the UTF-8 form no longer fits an int32_t length;
// the largest case needs about 2.4 GB of memory.
void BM_UTF8StringLong(benchmark::State& state) {
  const auto units = static_cast<std::size_t>(state.range(0));
  const NSString text(std::u16string(units, u'a'));
  for (auto _ : state) {
    const std::string utf8 = text.UTF8String();
    if (utf8.size() != units) state.SkipWithError("the UTF-8 form has the wrong length");
    benchmark::DoNotOptimize(utf8.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * units * 2));
}
BENCHMARK(BM_UTF8StringLong)->Arg(1 << 20)->Arg(800'000'000)->Unit(benchmark::kMillisecond);

void BM_ValidEmail(benchmark::State& state) {
  const auto size = static_cast<std::size_t>(state.range(0));
  // A valid address of the wanted size, so the whole of it is examined.
  std::string local(size - 8, 'a');
  for (std::size_t i = 7; i < local.size(); i += 8) local[i] = '.';
  const NSString address((local + "@host.io").substr(0, size).c_str());
  if (!KVAdditions::validEmail(address)) {
    state.SkipWithError("benchmark address is not valid");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(KVAdditions::validEmail(address));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}
BENCHMARK(BM_ValidEmail)->Arg(32)->Arg(1024);

void BM_NumericalVersionRepresentation(benchmark::State& state) {
  const NSString versions[] = {"1.2.3", "10.4.11", "2.0b1", "99.99.99"};
  std::size_t i = 0;
  for (auto _ : state)
    benchmark::DoNotOptimize(KVAdditions::numericalVersionRepresentation(versions[i++ & 3]));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_NumericalVersionRepresentation);

}  // namespace
