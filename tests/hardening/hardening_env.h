// Shared set-up of the hardening tests: a store on real services over a photo table, an event
// recorder, seeded random bytes and picture checksums.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "store/CPicture.h"
#include "support/fault_services.h"
#include "support/scripted_interaction.h"
#include "support/test_db.h"
#include "support/test_images.h"

namespace kelvo::test {

// Keeps every error the store reports, by event.
class ErrorEvents : public CPictureEvents {
  public:
    void TableError(std::string& s) override { tableErrors.push_back(s); }
    void ErrorDescrption(std::string& s) override { descriptions.push_back(s); }
    void ErrorSavingPhoto(std::string& s) override { savingErrors.push_back(s); }
    std::size_t total() const {
        return tableErrors.size() + descriptions.size() + savingErrors.size();
    }
    void clear() {
        tableErrors.clear();
        descriptions.clear();
        savingErrors.clear();
    }
    std::string all() const;

    std::vector<std::string> tableErrors, descriptions, savingErrors;
};

// Real pictures over fault-injecting files, an application folder of its own, scripted
// interaction and a memory clipboard.
class HardeningEnvironment {
  public:
    HardeningEnvironment();

    // A store on the usual photo table columns, listened to by `events`.
    std::unique_ptr<CPicture> newStore(bool saveAsFile = false);
    std::string photosFolder() const { return app + "KelvPhotos/"; }

    std::string app;
    FaultFileSystem files;
    std::unique_ptr<PictureService> pictures;
    ScriptedInteraction interaction;
    MemoryClipboard clipboard;
    Services services;
    ErrorEvents events;
};

// Rows of the photo table, by description.
struct StoredRow {
    std::string code, description, group;
    Variant pic;
};
std::vector<StoredRow> ReadPhotoRows(const std::shared_ptr<Connection>& connection,
                                     const std::string& table = "PHOTOS");

}  // namespace kelvo::test
