// The analyser registry: the ordered list of format analysers that the RAW search offers every
// sector to. The catalogue says which analyser classes serve each type id; Rebuild makes them for
// the enabled ids in order, so the first occurrence of each class sets the order of trial.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "carving/raw_file_analyser.h"

namespace korvex {

// The analyser column of the catalogue: the classes the registry makes for type `typeId`
// ("CustomFileAnalyser" for the ids that signature scripts serve, and for ids outside 0..84).
struct CatalogueAnalysers {
  const char* classes[2];
};
const CatalogueAnalysers& CatalogueAnalysersOf(std::int32_t typeId);

// An analyser class the program has: its name and how to make one.
struct AnalyserClass {
  const char* className;
  std::unique_ptr<IRawFileAnalyser> (*make)();
};
// Every analyser class that exists, in the order of the registry's first fill.
const std::vector<AnalyserClass>& BuiltInAnalyserClasses();

class AnalyserRegistry {
 public:
  // The process-wide registry, filled on first use with one analyser of each class.
  static AnalyserRegistry& Instance();

  explicit AnalyserRegistry(std::vector<AnalyserClass> classes);
  // A fixed list of analysers in their order of trial (for tests and fuzzers); Rebuild empties it.
  explicit AnalyserRegistry(std::vector<std::unique_ptr<IRawFileAnalyser>> analysers);

  // Empties the list and appends, for each id in order, the analysers the catalogue names for it;
  // ids outside the built-in table are served by script analysers.
  void Rebuild(const std::vector<std::int32_t>& typeIds);

  const std::vector<std::unique_ptr<IRawFileAnalyser>>& Analysers() const { return analysers_; }
  bool Empty() const { return analysers_.empty(); }
  // Class names in the order in which they can first claim a sector.
  std::vector<std::string> EffectiveOrder() const;

 private:
  void Append(const char* className);

  std::vector<AnalyserClass> classes_;
  std::vector<std::unique_ptr<IRawFileAnalyser>> analysers_;
  std::vector<const char*> classNames_;  // class of each analyser, parallel to analysers_
};

}  // namespace korvex
