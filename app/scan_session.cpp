#include "app/scan_session.h"

#include <nlohmann/json.hpp>
#include <thread>

#include "report/run_flags.h"
#include "source/title_scanner.h"

bool RunScan() {
  AbortFlag = false;
  std::thread worker(ScanWorker);
  worker.join();
  return !ScanFailed() && !AbortFlag.load();
}

std::string ScanReportJson(const std::string& source, bool succeeded) {
  nlohmann::ordered_json report;
  report["source"] = source;
  report["label"] = TitleScanner.labelListed ? nlohmann::ordered_json(TitleScanner.label) : nullptr;
  nlohmann::ordered_json lines = nlohmann::ordered_json::array();
  if (TitleScanner.labelListed) lines.push_back(TitleScanner.label);
  nlohmann::ordered_json titles = nlohmann::ordered_json::array();
  for (const ScannedTitle& title : TitleScanner.titles) {
    lines.push_back(title.text);
    nlohmann::ordered_json streams = nlohmann::ordered_json::array();
    for (const ScannedStream& stream : title.streams) {
      lines.push_back(stream.text);
      nlohmann::ordered_json item;
      item["kind"] = stream.kind;
      item["index"] = stream.index;
      item["line"] = stream.text;
      item["listIndex"] = stream.line;
      item["selectable"] = stream.entry >= 0;
      if (stream.entry >= 0) item["subStreamId"] = TitleList[stream.entry].subStreamId;
      streams.push_back(item);
    }
    nlohmann::ordered_json item;
    item["title"] = title.title;
    item["sizeMB"] = title.sizeMB;
    item["line"] = title.text;
    item["listIndex"] = title.line;
    item["streams"] = streams;
    titles.push_back(item);
  }
  report["lines"] = lines;
  report["titles"] = titles;
  report["failed"] = !succeeded;
  return report.dump(2);
}
