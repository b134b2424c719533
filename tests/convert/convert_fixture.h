// Shared set-up of the conversion tests: a photo table on one back end, a photos folder, a
// store on fault-injecting files, and a recorder of the store's events.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "store/CPicture.h"
#include "support/fault_services.h"
#include "support/scripted_interaction.h"
#include "support/test_db.h"

namespace kelvo::test {

struct ProgressStep {
    std::string msg;
    std::int32_t pos, total;
    bool operator==(const ProgressStep&) const = default;
};

class EventRecorder : public CPictureEvents {
  public:
    void ConversionProgress(std::string& msg, std::int32_t& Pos, std::int32_t& TotalRecs) override {
        steps.push_back({msg, Pos, TotalRecs});
        if (onProgress) onProgress(steps.back());
    }
    void ErrorDescrption(std::string& sErrDescrption) override { errors.push_back(sErrDescrption); }
    void ErrorSavingPhoto(std::string& sErrMsg) override { errors.push_back(sErrMsg); }

    std::vector<ProgressStep> steps;
    std::vector<std::string> errors;
    std::function<void(const ProgressStep&)> onProgress;
};

struct PhotoRow {
    std::string code, description, group;
    Bytes photo;
};

class ConversionTest : public testing::TestWithParam<std::string> {
  protected:
    void SetUp() override;

    // A store on the fault-injecting files, configured for the usual photo table.
    std::unique_ptr<CPicture> newStore(bool saveAsFile);
    void addRow(const PhotoRow& row, bool withPhoto = true);
    // The photo column of the row, read on a fresh connection.
    Variant columnOf(const PhotoRow& row);
    std::string fileOf(const PhotoRow& row) const;
    // True when the row's photo is whole in its column or in its file.
    bool readableSomewhere(const PhotoRow& row);
    // Photo files (*.qzr) left in the photos folder.
    int photoFileCount() const;

    std::unique_ptr<TestDatabase> db;
    std::string folder;
    FaultFileSystem files;
    ScriptedInteraction interaction;
    EventRecorder events;
    std::vector<PhotoRow> rows;  // three rows of different sizes, two of one owner
};

}  // namespace kelvo::test
