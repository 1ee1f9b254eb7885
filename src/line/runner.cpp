#include "line/runner.h"

#include <exception>
#include <thread>

namespace kyr::line {
namespace {

UnitResult RunOne(const UnitWork& work, std::size_t index) {
  UnitResult result;
  try {
    result.done = work(index, result.problem);
  } catch (const std::exception& error) {
    result = {false, error.what()};
  } catch (...) {
    result = {false, "stopped by an unknown error"};
  }
  return result;
}

}  // namespace

std::vector<UnitResult> RunOnUnits(std::size_t count, const UnitWork& work) {
  std::vector<UnitResult> results(count);  // each thread writes its own element only
  {
    std::vector<std::jthread> threads;
    threads.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
      threads.emplace_back([&work, &results, i] { results[i] = RunOne(work, i); });
  }  // joined here
  return results;
}

}  // namespace kyr::line
