// Shared set-up of the editor tests: a photo table on one back end, a store configured for
// it with scripted message boxes and an in-memory clipboard, and readers of what it wrote.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/interaction.h"
#include "store/CPicture.h"
#include "support/scripted_interaction.h"
#include "support/test_db.h"

namespace kelvo::test {

// One stored photo as read back from the table.
struct StoredPhoto {
    std::string description, comments;
    bool isDefault = false;
    int width = 0, height = 0;  // 0 when the row has no readable photo
    std::uint32_t centre = 0;   // colour of the middle pixel
};

class EditorFixture : public testing::TestWithParam<std::string> {
  protected:
    void SetUp() override;

    // A store on the photo table, its services scripted.
    std::unique_ptr<CPicture> NewStore();
    // Adds a row for owner A1 in group CUST holding a BMP of width x height.
    void Seed(const std::string& description, bool isDefault, int width = 40, int height = 30,
              std::uint32_t rgb = 0x3366CC, const std::string& comments = "seeded");
    // The rows of owner A1, ordered by description.
    std::vector<StoredPhoto> Stored();
    std::vector<std::string> StoredDescriptions();
    // The last message box shown, or an empty one.
    ShownMessage LastMessage() const;

    std::unique_ptr<TestDatabase> db;
    ScriptedInteraction interaction;
    MemoryClipboard clipboard;
    Services services{};
    std::string folder;
};

}  // namespace kelvo::test
