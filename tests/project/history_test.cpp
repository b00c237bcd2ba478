// Undo and redo steps of the project's list, runs of merged changes and the modified state.
#include "project/history.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

project::pObject Image(const char* name, float x) {
    project::pObject o;
    o.type = 0;
    o.texture = -1;
    o.name = name;
    o.position = cMath::vector4(x, 0, 0, 1);
    o.size = cMath::vector4(1, 0.02f, 1, 1);
    return o;
}

struct History : ::testing::Test {
    project p{nullptr};
    ProjectHistory h;

    void Add(const char* name, float x = 0) {
        BeginStep(h, p, "Import image");
        p.objects.push_back(Image(name, x));
        CommitStep(h, p);
    }
    void NudgeX(int i, float dx, uint64_t now_ms, const char* key = "Move X 0") {
        BeginStep(h, p, "Move X", key, now_ms);
        cMath::vector4 v = p.GetPositionOBJ(i);
        v.x += dx;
        p.PositionOBJ(i, &v);
        CommitStep(h, p);
    }
    std::string Names() const {
        std::string s;
        for (const project::pObject& o : p.objects) s += o.name;
        return s;
    }
};

TEST_F(History, UndoAndRedoWalkBackAndForthThroughSteps) {
    Add("a");
    Add("b");
    p.selected = 1;
    BeginStep(h, p, "Delete");
    p.DeleteOBJ(0);
    CommitStep(h, p);
    EXPECT_EQ(Names(), "b");

    std::string label;
    ASSERT_TRUE(Undo(h, p, &label));
    EXPECT_EQ(label, "Delete");
    EXPECT_EQ(Names(), "ab");
    EXPECT_EQ(p.selected, 1) << "the selection comes back with the list";
    ASSERT_TRUE(Undo(h, p));
    EXPECT_EQ(Names(), "a");
    ASSERT_TRUE(Redo(h, p, &label));
    EXPECT_EQ(label, "Import image");
    EXPECT_EQ(Names(), "ab");
    ASSERT_TRUE(Redo(h, p));
    EXPECT_EQ(Names(), "b");
    EXPECT_FALSE(Redo(h, p));
    ASSERT_TRUE(Undo(h, p));
    ASSERT_TRUE(Undo(h, p));
    ASSERT_TRUE(Undo(h, p));
    EXPECT_EQ(Names(), "");
    EXPECT_FALSE(Undo(h, p));
}

TEST_F(History, ANewChangeAfterUndoDropsTheRedoSteps) {
    Add("a");
    Add("b");
    Undo(h, p);
    Add("c");
    EXPECT_FALSE(CanRedo(h));
    EXPECT_EQ(Names(), "ac");
    Undo(h, p);
    EXPECT_EQ(Names(), "a");
}

TEST_F(History, AChangeThatChangesNothingMakesNoStep) {
    Add("a");
    BeginStep(h, p, "Import *.OBJ");  // a failed import
    EXPECT_FALSE(CommitStep(h, p));
    p.selected = 0;
    BeginStep(h, p, "Delete");
    p.DeleteOBJ(5);  // invalid index: nothing happens
    EXPECT_FALSE(CommitStep(h, p));
    EXPECT_EQ(h.undo.size(), 1u);
    EXPECT_EQ(h.state, h.undo.back().after_state) << "no new state either";
}

TEST_F(History, NestedBeginsMakeOneStep) {
    BeginStep(h, p, "Arrange");
    Add("a");
    Add("b");
    EXPECT_TRUE(h.undo.empty()) << "inner pairs record nothing";
    EXPECT_FALSE(CanUndo(h)) << "no undo while a change is being recorded";
    EXPECT_TRUE(CommitStep(h, p));
    ASSERT_EQ(h.undo.size(), 1u);
    EXPECT_EQ(h.undo.back().label, "Arrange");
    Undo(h, p);
    EXPECT_EQ(Names(), "");
    EXPECT_FALSE(CommitStep(h, p)) << "a commit without a begin is ignored";
}

TEST_F(History, ClicksOnOneRowWithinASecondOfEachOtherAreOneStep) {
    Add("a");
    NudgeX(0, 1, 10000);
    NudgeX(0, 1, 10900);
    NudgeX(0, 1, 11800);  // each within a second of the one before
    EXPECT_EQ(h.undo.size(), 2u);
    NudgeX(0, 1, 12801);  // a pause of more than a second starts a new run
    EXPECT_EQ(h.undo.size(), 3u);
    NudgeX(0, 1, 12900, "Move Y 0");  // another row
    EXPECT_EQ(h.undo.size(), 4u);
    NudgeX(0, 1, 13000);  // back on the first row: a new run
    EXPECT_EQ(h.undo.size(), 5u);
    EXPECT_FLOAT_EQ(p.objects[0].position.x, 6);

    Undo(h, p);
    Undo(h, p);
    Undo(h, p);
    EXPECT_FLOAT_EQ(p.objects[0].position.x, 3);
    Undo(h, p);
    EXPECT_FLOAT_EQ(p.objects[0].position.x, 0);
}

TEST_F(History, ARunNeverContinuesAcrossAnUndoRedoOrOtherStep) {
    Add("a");
    NudgeX(0, 1, 1000);
    Undo(h, p);
    Redo(h, p);
    NudgeX(0, 1, 1100);
    EXPECT_EQ(h.undo.size(), 3u);
    Add("b");
    NudgeX(0, 1, 1200);
    EXPECT_EQ(h.undo.size(), 5u);
    NudgeX(0, 1, 500);  // a clock that went back never joins
    EXPECT_EQ(h.undo.size(), 6u);
}

TEST_F(History, KeepsTheNewestStepsUpToItsDepth) {
    for (int i = 0; i < int(kHistoryDepth) + 30; ++i) NudgeX(-1, 0, 0);  // nothing to move: no steps
    EXPECT_TRUE(h.undo.empty());
    Add("a");
    for (int i = 0; i < int(kHistoryDepth) + 30; ++i) NudgeX(0, 1, uint64_t(i) * 5000);
    EXPECT_EQ(h.undo.size(), kHistoryDepth);
    int undone = 0;
    while (Undo(h, p)) ++undone;
    EXPECT_EQ(undone, int(kHistoryDepth));
    EXPECT_GE(undone, 100);
    EXPECT_FLOAT_EQ(p.objects.at(0).position.x, 30);
}

TEST_F(History, ModifiedFollowsTheSavedStateThroughUndoAndRedo) {
    EXPECT_FALSE(IsModified(h, p)) << "the empty untitled project has nothing to lose";
    EXPECT_EQ(ProjectFileLabel(h), "untitled");
    Add("a");
    EXPECT_TRUE(IsModified(h, p));
    MarkSaved(h, "/tmp/x/plate.PRJ");
    EXPECT_FALSE(IsModified(h, p));
    EXPECT_EQ(ProjectFileLabel(h), "plate.PRJ");
    NudgeX(0, 1, 0);
    EXPECT_TRUE(IsModified(h, p));
    Undo(h, p);
    EXPECT_FALSE(IsModified(h, p)) << "back at the saved state";
    Undo(h, p);
    EXPECT_TRUE(IsModified(h, p)) << "an empty list with a file is a change";
    Redo(h, p);
    EXPECT_FALSE(IsModified(h, p));
    MarkModified(h);
    EXPECT_TRUE(IsModified(h, p));
}

TEST_F(History, NewProjectIsAStepThatAlsoBringsBackTheFileName) {
    Add("a");
    MarkSaved(h, "plate.PRJ");
    BeginStep(h, p, "New Project");
    p.Reset();
    h.path.clear();
    EXPECT_TRUE(CommitStep(h, p));
    EXPECT_EQ(ProjectFileLabel(h), "untitled");
    EXPECT_FALSE(IsModified(h, p));
    Undo(h, p);
    EXPECT_EQ(Names(), "a");
    EXPECT_EQ(ProjectFileLabel(h), "plate.PRJ");
    EXPECT_FALSE(IsModified(h, p));
    Redo(h, p);
    EXPECT_EQ(ProjectFileLabel(h), "untitled");

    // A save under another name is no step: undoing an earlier change keeps the new name.
    Undo(h, p);
    Add("b");
    MarkSaved(h, "other.PRJ");
    Undo(h, p);
    EXPECT_EQ(ProjectFileLabel(h), "other.PRJ");
    EXPECT_TRUE(IsModified(h, p));
}

TEST_F(History, OpeningStartsANewHistory) {
    Add("a");
    Add("b");
    Undo(h, p);
    StartNewHistory(h, "/data/opened.PRJ");
    EXPECT_FALSE(CanUndo(h));
    EXPECT_FALSE(CanRedo(h));
    EXPECT_FALSE(IsModified(h, p));
    EXPECT_EQ(ProjectFileLabel(h), "opened.PRJ");
}

TEST(SameObjectsRule, ComparesWhatTheUserChangesButNotTheDerivedPlacement) {
    project::pObject a;
    a.type = 1;
    a.name = "m.obj";
    a.position = cMath::vector4(NAN, 0, 0, 0);
    project::pObject b = a;
    b.move = cMath::vector4(1, 2, 3, 1);
    b.scale = cMath::vector4(4, 5, 6, 0);
    EXPECT_TRUE(SameObjects({a}, {b})) << "NaN equals itself; move and scale are derived";
    b = a;
    b.size.y = 1;
    EXPECT_FALSE(SameObjects({a}, {b}));
    b = a;
    b.rotate.z = 90;
    EXPECT_FALSE(SameObjects({a}, {b}));
    b = a;
    b.texture = 4;
    EXPECT_FALSE(SameObjects({a}, {b}));
    b = a;
    b.name = "n.obj";
    EXPECT_FALSE(SameObjects({a}, {b}));
    EXPECT_FALSE(SameObjects({a}, {a, a}));
    EXPECT_FALSE(SameObjects({a, b}, {b, a})) << "order matters";
}

}  // namespace
