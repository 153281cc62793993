#include "xml/node_memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "xml/xml_document.h"

namespace tavirelle {

namespace {

TEST(NodeMemoryTest, ObjectsAreAlignedAndDistinct) {
  std::vector<void*> objects;
  for (size_t size : {1u, 8u, 80u, 144u, 5000u, 9000u, 100000u}) {
    for (int i = 0; i < 200; ++i) {
      void* object = AllocateXMLObject(size);
      EXPECT_EQ(reinterpret_cast<uintptr_t>(object) % 16, 0u);
      std::memset(object, 0xA5, size);  // the whole size is usable
      objects.push_back(object);
    }
  }
  for (void* object : objects) FreeXMLObject(object);
  FreeXMLObject(nullptr);
}

TEST(NodeMemoryTest, ATreeMadeOnOneThreadDiesOnAnother) {
  auto document = std::make_unique<XmlDocument>();
  std::thread maker([&] {
    std::string text = "<r>";
    for (int i = 0; i < 5000; ++i) text += "<image file=\"a_rather_long_file_name.jpg\" n=\"1\"/>";
    text += "</r>";
    ASSERT_TRUE(document->LoadText(text).ok());
  });
  maker.join();  // the maker's thread and its current block are gone
  XmlNode* root = document->ChildAt(1);
  ASSERT_EQ(root->ChildCount(), 5000);
  std::unique_ptr<XmlAttr> kept =
      root->ChildAt(4999)->DetachAttr(root->ChildAt(4999)->FindAttr("file"));
  std::thread destroyer([&] { document.reset(); });
  destroyer.join();
  // A detached attribute outlives its document.
  EXPECT_EQ(kept->value, "a_rather_long_file_name.jpg");
}

}  // namespace

}  // namespace tavirelle
