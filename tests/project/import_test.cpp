// Importing models and images through the real loader and texture manager, picking
// models, and reopening a saved project with its files.
#include "tests/project/scene_fixture.h"

#include "project/history.h"
#include "project/project_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

#include <sys/stat.h>

namespace {

using project_test::SceneGLTest;

using ImportTest = SceneGLTest;

TEST_F(ImportTest, ModelIsFittedRoundedAndAnchored) {
    ASSERT_TRUE(Import(Data("cube.obj")));
    ASSERT_EQ(p->objects.size(), 1u);
    const project::pObject& o = p->objects[0];
    EXPECT_EQ(o.type, 1);
    EXPECT_EQ(o.model->name, Data("cube.obj"));
    // One unit high, the cube is shrunk by 1.25 to the work area's height of 0.8.
    EXPECT_FLOAT_EQ(o.size.x, 0.8f);
    EXPECT_FLOAT_EQ(o.size.y, 0.8f);
    EXPECT_FLOAT_EQ(o.size.z, 0.8f);
    // Box corner (-0.5, -0.5, 0.5) scaled by 0.8 on the anchor point.
    EXPECT_FLOAT_EQ(o.scale.x, 0.8f);
    EXPECT_FLOAT_EQ(o.move.x, -0.9f);
    EXPECT_FLOAT_EQ(o.move.y, 0.4201f);
    EXPECT_FLOAT_EQ(o.move.z, 1.4f);
    EXPECT_EQ(p->selected, -1);
    EXPECT_EQ(p->hovered, -1);
    EXPECT_TRUE(p->GetMissingFiles().empty());
}

bool IsRegistered(const cloadobj* loader, const cloadobj_conteiner* model) {
    for (const auto& m : loader->models) {
        if (m.get() == model) return true;
    }
    return false;
}

bool HasTexture(const Ctexture* textures, int name) {
    for (unsigned id : textures->texture_ids) {
        if (int(id) == name) return true;
    }
    return false;
}

TEST_F(ImportTest, RecordsNamingOneFileShareOneModelAndStayTheirOwnObjects) {
    const size_t loaded = loader->models.size();
    const std::string folder = std::string(MORVA_TEST_DATA_DIR);
    const std::string base = folder.substr(folder.find_last_of('/') + 1);
    for (const std::string& spelling : {Data("cube.obj"), folder + "/./cube.obj", folder + "/../" + base + "//cube.obj"}) {
        ASSERT_TRUE(Import(spelling)) << spelling;
    }
    ASSERT_EQ(p->objects.size(), 3u);
    EXPECT_EQ(loader->models.size(), loaded + 1);
    EXPECT_EQ(p->objects[1].model, p->objects[0].model);
    EXPECT_EQ(p->objects[2].model, p->objects[0].model);
    // Each record keeps its own spelling and its own placement.
    EXPECT_EQ(p->objects[1].name, folder + "/./cube.obj");
    cMath::vector4 moved(0.5f, 0, 0, 0);
    p->PositionOBJ(1, &moved);
    EXPECT_EQ(p->objects[0].position.x, 0.0f);
    // Removing two of them leaves the model with the third.
    p->DeleteOBJ(0);
    p->DeleteOBJ(0);
    EXPECT_TRUE(IsRegistered(loader, p->objects[0].model));
    EXPECT_TRUE(glIsList(p->objects[0].model->list_shaded));
}

TEST_F(ImportTest, ProjectNamingOneFileFortyTimesLoadsItOnce) {
    const std::string image = WriteImage("shared.png", 4, 4, [](int, int, uint8_t* px) {
        px[0] = px[1] = px[2] = 90;
        px[3] = 255;
    });
    const std::string image_folder = image.substr(0, image.find_last_of('/'));
    std::vector<ProjectRecord> records(80);
    for (int i = 0; i < 40; ++i) {
        ProjectRecord& model = records[size_t(i) * 2];
        ProjectRecord& picture = records[size_t(i) * 2 + 1];
        model.type = 1;
        model.path = i % 2 ? Data("cube.obj") : std::string(MORVA_TEST_DATA_DIR) + "/././cube.obj";
        picture.type = 0;
        picture.path = i % 2 ? image : image_folder + "/./" + std::string(size_t(i % 3), '/') + "shared.png";
        model.size = picture.size = cMath::vector4(0.5f, 0.5f, 0.5f, 0);
    }
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(SerializeProjectFile(records, &bytes));
    const std::string file = temp_dir + "/forty.PRJ";
    ASSERT_TRUE(WriteFileAtomically(file.c_str(), bytes));
    const size_t models = loader->models.size(), images = textures->texture_ids.size();
    ASSERT_TRUE(p->OpenData(const_cast<char*>(file.c_str())));
    ASSERT_EQ(p->objects.size(), 80u);
    EXPECT_TRUE(p->GetMissingFiles().empty());
    EXPECT_EQ(loader->models.size(), models + 1);
    EXPECT_EQ(textures->texture_ids.size(), images + 1);
    for (const project::pObject& o : p->objects) {
        if (o.type == 1) {
            EXPECT_EQ(o.model, p->objects[0].model);
        } else {
            EXPECT_EQ(o.texture, p->objects[1].texture);
        }
    }
    // Opening it again while it is open loads nothing more.
    ASSERT_TRUE(p->OpenData(const_cast<char*>(file.c_str())));
    EXPECT_EQ(loader->models.size(), models + 1);
    EXPECT_EQ(textures->texture_ids.size(), images + 1);
}

TEST_F(ImportTest, NewProjectReleasesTheModelsAndImagesNoObjectUses) {
    const std::string image = WriteImage("released.png", 4, 4, [](int, int, uint8_t* px) {
        px[0] = px[1] = px[2] = 30;
        px[3] = 255;
    });
    const size_t models = loader->models.size(), images = textures->texture_ids.size();
    ASSERT_TRUE(Import(Data("cube.obj")));
    ASSERT_TRUE(ImportPicture(image));
    ASSERT_TRUE(ImportPicture(image));
    const cloadobj_conteiner* model = p->objects[0].model;
    const GLuint list = model->list_shaded;
    const int texture = p->objects[1].texture;
    p->DeleteOBJ(1);
    EXPECT_TRUE(HasTexture(textures, texture));  // the other image record still uses it
    p->Reset();
    EXPECT_FALSE(IsRegistered(loader, model));
    EXPECT_FALSE(glIsList(list));
    EXPECT_FALSE(HasTexture(textures, texture));
    EXPECT_EQ(loader->models.size(), models);
    EXPECT_EQ(textures->texture_ids.size(), images);
    // A failed import keeps nothing loaded either.
    EXPECT_FALSE(Import(Data("no-geometry.obj")));
    EXPECT_EQ(loader->models.size(), models);
}

TEST_F(ImportTest, ACopyOfARemovedObjectKeepsItsModelAndImageLoaded) {
    const std::string image = WriteImage("kept.png", 4, 4, [](int, int, uint8_t* px) {
        px[0] = px[1] = px[2] = 200;
        px[3] = 255;
    });
    ASSERT_TRUE(Import(Data("cube.obj")));
    ASSERT_TRUE(ImportPicture(image));
    // What an undo step keeps of the objects it may bring back.
    std::vector<project::pObject> kept = p->objects;
    p->Reset();
    ASSERT_TRUE(IsRegistered(loader, kept[0].model));
    EXPECT_TRUE(glIsList(kept[0].model->list_shaded));
    EXPECT_TRUE(HasTexture(textures, kept[1].texture));
    // Brought back, dropped from the copy: still loaded; then gone with the last record.
    p->objects = kept;
    kept.clear();
    ASSERT_TRUE(IsRegistered(loader, p->objects[0].model));
    const cloadobj_conteiner* model = p->objects[0].model;
    const int texture = p->objects[1].texture;
    p->Reset();
    EXPECT_FALSE(IsRegistered(loader, model));
    EXPECT_FALSE(HasTexture(textures, texture));
}

TEST_F(ImportTest, UnreadableOrEmptyModelAddsNothing) {
    EXPECT_FALSE(Import(Data("no-such-model.obj")));
    EXPECT_FALSE(Import(Data("no-geometry.obj")));
    EXPECT_FALSE(Import(temp_dir));  // a folder
    EXPECT_TRUE(p->objects.empty());
}

TEST_F(ImportTest, FlatModelGetsOneMillimetreAndAUsableTransform) {
    ASSERT_TRUE(Import(Data("flat-square.obj")));
    const project::pObject& o = p->objects[0];
    EXPECT_FLOAT_EQ(o.size.x, 0.8f);
    EXPECT_EQ(o.size.y, 0.02f);
    EXPECT_FLOAT_EQ(o.size.z, 0.6f);
    EXPECT_EQ(o.scale.y, 1.0f);
    EXPECT_FLOAT_EQ(o.move.y, 0.0201f);
    for (float v : {o.move.x, o.move.y, o.move.z, o.scale.x, o.scale.y, o.scale.z}) EXPECT_TRUE(std::isfinite(v));
}

TEST_F(ImportTest, ImageBecomesASquareOfOneUnitSharingItsTexture) {
    const std::string path = WriteImage("grey.png", 8, 8, [](int, int, uint8_t* px) {
        px[0] = px[1] = px[2] = 128;
        px[3] = 255;
    });
    ASSERT_TRUE(ImportPicture(path));
    ASSERT_TRUE(ImportPicture(path));
    ASSERT_EQ(p->objects.size(), 2u);
    const project::pObject& o = p->objects[0];
    EXPECT_EQ(o.type, 0);
    EXPECT_EQ(o.name, path);
    EXPECT_GT(o.texture, 0);
    EXPECT_EQ(p->objects[1].texture, o.texture);
    EXPECT_FLOAT_EQ(o.size.y, 0.02f);
    EXPECT_FLOAT_EQ(o.size.w, 1.0f);
    EXPECT_FLOAT_EQ(o.move.x, -0.8f);
    EXPECT_FLOAT_EQ(o.scale.y, 0.2f);
}

// Undo of a delete brings back the very records: the same loaded model and texture, no file
// read again (both files are gone by then). A step keeping a deleted record keeps its model
// and texture loaded; once the history forgets the step they are released.
TEST_F(ImportTest, UndoneDeletesKeepTheirModelAndTextureWithoutReadingFiles) {
    const std::string picture = WriteImage("undo.png", 4, 4, [](int, int, uint8_t* px) {
        px[0] = px[1] = px[2] = px[3] = 255;
    });
    const std::string model = temp_dir + "/undo-cube.obj";
    {
        std::FILE* f = std::fopen(model.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\nf 1 2 3\nf 1 2 4\n", f);
        std::fclose(f);
    }
    ProjectHistory h;
    BeginStep(h, *p, "Import *.OBJ");
    ASSERT_TRUE(Import(model));
    CommitStep(h, *p);
    BeginStep(h, *p, "Import image");
    ASSERT_TRUE(ImportPicture(picture));
    CommitStep(h, *p);
    const cloadobj_conteiner* loaded = p->objects[0].model;
    const int texture = p->objects[1].texture;
    const size_t models = loader->models.size();

    for (int i : {1, 0}) {
        p->selected = i;
        BeginStep(h, *p, "Delete");
        p->DeleteOBJ(i);
        CommitStep(h, *p);
    }
    EXPECT_TRUE(p->objects.empty());
    EXPECT_TRUE(IsRegistered(loader, loaded)) << "the delete step keeps the model";
    EXPECT_TRUE(HasTexture(textures, texture)) << "and the image's texture";
    ASSERT_EQ(std::remove(model.c_str()), 0);
    ASSERT_EQ(std::remove(picture.c_str()), 0);

    ASSERT_TRUE(Undo(h, *p));
    ASSERT_TRUE(Undo(h, *p));
    ASSERT_EQ(p->objects.size(), 2u);
    EXPECT_EQ(p->objects[0].model, loaded);
    EXPECT_EQ(p->objects[1].texture, texture);
    EXPECT_EQ(loader->models.size(), models) << "nothing was loaded again";

    // Deleted again and forgotten: nothing uses them any more.
    ASSERT_TRUE(Redo(h, *p));
    ASSERT_TRUE(Redo(h, *p));
    ClearHistory(h);
    EXPECT_FALSE(IsRegistered(loader, loaded));
    EXPECT_FALSE(HasTexture(textures, texture));
}

TEST_F(ImportTest, UndecodableImageAddsNothing) {
    EXPECT_FALSE(ImportPicture(Data("no-such-image.png")));
    EXPECT_FALSE(ImportPicture(Data("cube.obj")));
    EXPECT_TRUE(p->objects.empty());
}

TEST_F(ImportTest, ReopenedProjectReloadsItsFilesAndReportsMissingOnes) {
    const std::string image = WriteImage("reopen.png", 4, 4, [](int x, int, uint8_t* px) {
        px[0] = px[1] = px[2] = uint8_t(x * 60);
        px[3] = 255;
    });
    ASSERT_TRUE(Import(Data("cube.obj")));
    ASSERT_TRUE(ImportPicture(image));
    p->objects[0].position = cMath::vector4(0.5f, 0.1f, 0.2f, 0);
    p->objects[0].size = cMath::vector4(0.5f, 0.5f, 0.5f, 0);
    const std::string file = temp_dir + "/reopen.PRJ";
    ASSERT_TRUE(p->SaveData(const_cast<char*>(file.c_str())));

    ASSERT_TRUE(p->OpenData(const_cast<char*>(file.c_str())));
    ASSERT_EQ(p->objects.size(), 2u);
    EXPECT_TRUE(IsUsableModel(p->objects[0]));
    EXPECT_EQ(p->objects[0].model->name, Data("cube.obj"));
    EXPECT_FLOAT_EQ(p->objects[0].size.x, 0.5f);  // the saved size, not a new fit
    EXPECT_FLOAT_EQ(p->objects[0].position.x, 0.5f);
    EXPECT_GT(p->objects[1].texture, 0);
    EXPECT_TRUE(p->GetMissingFiles().empty());

    // With the image gone, opening still succeeds and names the record.
    ASSERT_EQ(std::remove(image.c_str()), 0);
    textures->Free();
    ASSERT_TRUE(p->OpenData(const_cast<char*>(file.c_str())));
    EXPECT_EQ(p->GetMissingFiles(), std::vector<int>{1});
    EXPECT_EQ(p->objects[1].name, image);
}

#ifndef _WIN32  // FIFOs and /dev are Linux's
TEST_F(ImportTest, PipesAndDevicesAreNeverReadAsModelsOrImages) {
    const std::string fifo = temp_dir + "/pipe.obj";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(Import(fifo));  // would wait for a writer forever
    EXPECT_FALSE(ImportPicture(fifo));
    EXPECT_FALSE(Import("/dev/zero"));  // would read without end
    EXPECT_TRUE(p->objects.empty());

    // A project naming them opens with the records kept, unloaded and reported.
    p->objects.resize(2);
    p->objects[0].type = 1;
    p->objects[0].name = fifo;
    p->objects[1].type = 0;
    p->objects[1].name = "/dev/zero";
    const std::string file = temp_dir + "/pipes.PRJ";
    ASSERT_TRUE(p->SaveData(const_cast<char*>(file.c_str())));
    ASSERT_TRUE(p->OpenData(const_cast<char*>(file.c_str())));
    EXPECT_EQ(p->GetMissingFiles(), (std::vector<int>{0, 1}));
    EXPECT_EQ(p->objects[0].name, fifo);
    std::remove(fifo.c_str());
}
#endif

// A project folder moved elsewhere (and its files renamed in another letter case): the
// records are found under the project file's folder, load from there and are saved so.
TEST_F(ImportTest, AMovedProjectFindsItsFilesUnderItsFolder) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows file names ignore letter case: the renamed files keep the stored "
                    "spelling there, so the spellings this test expects do not hold";
#endif
    namespace fs = std::filesystem;
    const std::string from = temp_dir + "/plate", to = temp_dir + "/moved-plate";
    fs::remove_all(from);
    fs::remove_all(to);
    fs::create_directories(from + "/models");
    fs::copy_file(Data("cube.obj"), from + "/models/cube.obj");
    fs::copy_file(Data("cube.mtl"), from + "/models/cube.mtl");
    const std::string image = WriteImage("moved.png", 4, 4, [](int, int, unsigned char* px) {
        px[0] = 200, px[1] = 100, px[2] = 50, px[3] = 255;
    });
    fs::rename(image, from + "/relief.png");
    ASSERT_TRUE(Import(from + "/models/cube.obj"));
    ASSERT_TRUE(ImportPicture(from + "/relief.png"));
    p->objects.push_back(p->objects[1]);
    p->objects[2].name = "C:\\elsewhere\\gone.png";
    ASSERT_TRUE(p->SaveData(const_cast<char*>((from + "/plate.PRJ").c_str())));
    fs::rename(from, to);
    fs::rename(to + "/models", to + "/Models");
    fs::rename(to + "/relief.png", to + "/RELIEF.png");

    ASSERT_TRUE(p->OpenData(const_cast<char*>((to + "/plate.PRJ").c_str())));
    ASSERT_EQ(p->objects.size(), 3u);
    EXPECT_TRUE(IsUsableModel(p->objects[0]));
    EXPECT_EQ(p->objects[0].model->name, to + "/Models/cube.obj");
    EXPECT_FALSE(p->objects[0].model->materials.empty());  // its material file beside it
    EXPECT_GT(p->objects[1].texture, 0);
    EXPECT_EQ(p->objects[1].name, to + "/RELIEF.png");
    EXPECT_EQ(p->objects[2].name, "C:\\elsewhere\\gone.png");  // still missing, kept as stored
    EXPECT_EQ(p->GetMissingFiles(), std::vector<int>{2});
    ASSERT_EQ(p->moved_files_found.size(), 2u);
    EXPECT_EQ(p->moved_files_found[0].relative, "Models/cube.obj");
    EXPECT_EQ(p->moved_files_found[1].relative, "RELIEF.png");
    EXPECT_EQ(p->moved_files_folder, to);

    // The next save stores the found paths.
    ASSERT_TRUE(p->SaveData(const_cast<char*>((to + "/plate.PRJ").c_str())));
    std::vector<uint8_t> bytes;
    std::vector<ProjectRecord> records;
    ASSERT_TRUE(ReadWholeFile((to + "/plate.PRJ").c_str(), &bytes));
    ASSERT_TRUE(ParseProjectFile(bytes.data(), bytes.size(), &records));
    EXPECT_EQ(records.at(0).path, to + "/Models/cube.obj");
    EXPECT_EQ(records.at(1).path, to + "/RELIEF.png");
    EXPECT_EQ(records.at(2).path, "C:\\elsewhere\\gone.png");
    ASSERT_TRUE(p->OpenData(const_cast<char*>((to + "/plate.PRJ").c_str())));
    EXPECT_TRUE(p->moved_files_found.empty());
}

// ---- picking models ----

struct ModelPicking : SceneGLTest {
    project_test::Camera camera = project_test::CameraAbove(-0.9f, 0.0f, 1.4f, 3.0f);
    cMath::Matrix4x4 V;
    cMath::Matrix4x4 P = project_test::Projection();
    void SetUp() override {
        SceneGLTest::SetUp();
        camera.pitch = 70;
        camera.yaw = -20;
        V = project_test::View(camera);
    }
    int PickAt(float x, float y, float z, bool commit = false) {
        float cursor[2];
        EXPECT_TRUE(project_test::CursorOver(V, P, x, y, z, cursor)) << "point off screen";
        return p->SelectOBJ(&V, &P, cursor, commit);
    }
};

TEST_F(ModelPicking, ModelIsFoundWhereItIsDrawn) {
    ASSERT_TRUE(Import(Data("cube.obj")));  // spans x -1.3 .. -0.5, y 0.02 .. 0.82, z 1.0 .. 1.8
    EXPECT_EQ(PickAt(-0.9f, 0.8201f, 1.4f, true), 0);  // top face centre
    EXPECT_EQ(p->selected, 0);
    EXPECT_EQ(PickAt(-0.52f, 0.8201f, 1.02f), 0);  // near a corner
    EXPECT_EQ(PickAt(0.3f, 0.0f, 1.4f), -1);        // on the bed beside it
    EXPECT_EQ(p->hovered, -1);
}

TEST_F(ModelPicking, MovedAndResizedModelIsFoundInItsNewPlace) {
    ASSERT_TRUE(Import(Data("cube.obj")));
    cMath::vector4 pos(1.5f, 0, 1.0f, 0), size(0.4f, 0.2f, 0.4f, 0);
    p->PositionOBJ(0, &pos);
    p->SizeOBJ(0, &size);
    // Now x 0.2 .. 0.6, y 0.02 .. 0.22, z 0.4 .. 0.8
    EXPECT_EQ(PickAt(0.4f, 0.2201f, 0.6f), 0);
    EXPECT_EQ(PickAt(-0.9f, 0.8201f, 1.4f), -1);  // the old place is empty
}

TEST_F(ModelPicking, RotatedModelIsFoundInItsRotatedPlace) {
    ASSERT_TRUE(Import(Data("cube.obj")));
    // Rotated 45 degrees about y around its own centre, the cube's corner reaches
    // 0.566 from the centre along x, beyond the unrotated face at 0.4.
    p->objects[0].rotate = cMath::vector4(0, 45, 0, 0);
    EXPECT_EQ(PickAt(-0.9f + 0.5f, 0.8201f, 1.4f), 0);
    EXPECT_EQ(PickAt(-0.9f + 0.37f, 0.8201f, 1.4f - 0.37f), -1);  // unrotated corner, now empty
}

TEST_F(ModelPicking, ImageLyingOnAModelWinsOverTheModelBelow) {
    ASSERT_TRUE(Import(Data("cube.obj")));
    const std::string image = WriteImage("lid.png", 4, 4, [](int, int, uint8_t* px) {
        px[0] = 200, px[1] = 200, px[2] = 200, px[3] = 255;
    });
    ASSERT_TRUE(ImportPicture(image));
    p->objects[1].position = cMath::vector4(0, 1.1f, 0, 0);  // above the cube's top
    EXPECT_EQ(PickAt(-0.9f, 1.12f, 1.4f), 1);
    std::swap(p->objects[0], p->objects[1]);
    EXPECT_EQ(PickAt(-0.9f, 1.12f, 1.4f), 0);
}

TEST_F(ModelPicking, UnreadableModelRecordIsNeverPicked) {
    ASSERT_TRUE(Import(Data("cube.obj")));
    p->objects.push_back(p->objects[0]);
    p->objects[0].model = loader->LoadObj(Data("missing.obj").c_str(), DrawLoading2);
    EXPECT_EQ(PickAt(-0.9f, 0.8201f, 1.4f), 1);
    EXPECT_EQ(p->GetMissingFiles(), std::vector<int>{0});
}

}  // namespace
