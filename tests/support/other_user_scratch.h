// A scratch working directory for permission faults. Root ignores file
// modes, so when the tests run as root the directory is handed to nobody and
// the code under test runs in a child that has become nobody; as any other
// user the child just keeps the user.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "scratch_dir.h"
#include "settings_image.h"

class OtherUserScratch : public ScratchDir {
protected:
    void SetUp() override {
        ScratchDir::SetUp();
        as_nobody_ = geteuid() == 0;
        if (as_nobody_) {
            ASSERT_EQ(chown(".", settings_image::kNobody, settings_image::kNobody), 0);
        }
    }
    // Files the child must be able to write belong to it too.
    void give(const char* path, mode_t mode) {
        if (as_nobody_) {
            ASSERT_EQ(chown(path, settings_image::kNobody, settings_image::kNobody), 0);
        }
        ASSERT_EQ(chmod(path, mode), 0);
    }
    template <typename Body>
    settings_image::ChildResult as_other_user(Body body) {
        return settings_image::run_child(body, as_nobody_);
    }
    bool as_nobody_ = false;
};
