#include "remoteshell/core/counted_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

namespace {

int compare_ints(void* a, void* b) {
  int x = *static_cast<int*>(a);
  int y = *static_cast<int*>(b);
  return x < y ? -1 : x > y ? 1 : 0;
}

struct TreeDeleter {
  void operator()(CountedTree* tree) const { tree_free(tree); }
};
using TreePtr = std::unique_ptr<CountedTree, TreeDeleter>;

// Every element lives in a fixed pool; the tree holds pointers into it.
class CountedTreeTest : public testing::Test {
 protected:
  int* value(int v) {
    values_.push_back(std::make_unique<int>(v));
    return values_.back().get();
  }
  TreePtr tree_{tree_new(compare_ints)};
  std::vector<std::unique_ptr<int>> values_;
};

// Checks the 2-3-4 shape: 1 to 3 elements per node, leaves all at one depth, parent links and
// child counts right. Returns the subtree's element count.
int check_node(const TreeNode* node, const TreeNode* parent, int depth, int* leaf_depth) {
  int elements = 0;
  while (elements < 3 && node->elements[elements] != nullptr) ++elements;
  EXPECT_GE(elements, 1);
  EXPECT_EQ(node->parent, parent);
  int total = elements;
  if (node->children[0] == nullptr) {
    if (*leaf_depth < 0) *leaf_depth = depth;
    EXPECT_EQ(depth, *leaf_depth);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(node->child_counts[i], 0);
    return total;
  }
  for (int i = 0; i < 4; ++i) {
    if (i <= elements) {
      EXPECT_NE(node->children[i], nullptr);
      if (node->children[i] == nullptr) continue;
      int below = check_node(node->children[i], node, depth + 1, leaf_depth);
      EXPECT_EQ(node->child_counts[i], below);
      total += below;
    } else {
      EXPECT_EQ(node->children[i], nullptr);
    }
  }
  return total;
}

void expect_balanced(const CountedTree* tree) {
  if (tree->root == nullptr) return;
  int leaf_depth = -1;
  EXPECT_EQ(check_node(tree->root, nullptr, 0, &leaf_depth), tree_count(tree));
}

void expect_same(const CountedTree* tree, const std::vector<int>& model) {
  ASSERT_EQ(tree_count(tree), static_cast<int>(model.size()));
  for (size_t i = 0; i < model.size(); ++i) {
    auto* element = static_cast<int*>(tree_index(tree, static_cast<int>(i)));
    ASSERT_NE(element, nullptr) << i;
    ASSERT_EQ(*element, model[i]) << i;
  }
  EXPECT_EQ(tree_index(tree, static_cast<int>(model.size())), nullptr);
}

TEST_F(CountedTreeTest, ThousandIncreasingThenEverySecondDeletedByPosition) {
  std::vector<int> model;
  for (int i = 0; i < 1000; ++i) {
    tree_add(tree_.get(), value(i));
    model.push_back(i);
  }
  expect_same(tree_.get(), model);
  for (size_t position = 0; position < model.size(); ++position) {
    auto* removed = static_cast<int*>(tree_delete_at(tree_.get(), static_cast<int>(position)));
    ASSERT_EQ(*removed, model[position]);
    model.erase(model.begin() + static_cast<long>(position));
  }
  expect_same(tree_.get(), model);
  expect_balanced(tree_.get());
  EXPECT_EQ(model.size(), 500u);
}

TEST_F(CountedTreeTest, OutOfRangePositionsChangeNothing) {
  tree_add(tree_.get(), value(5));
  EXPECT_EQ(tree_delete_at(tree_.get(), -1), nullptr);
  EXPECT_EQ(tree_delete_at(tree_.get(), 1), nullptr);
  EXPECT_EQ(tree_count(tree_.get()), 1);
  EXPECT_EQ(tree_index(tree_.get(), -1), nullptr);
}

TEST_F(CountedTreeTest, EqualElementIsReturnedNotInserted) {
  int* first = value(3);
  EXPECT_EQ(tree_add(tree_.get(), first), first);
  EXPECT_EQ(tree_add(tree_.get(), value(3)), first);
  EXPECT_EQ(tree_count(tree_.get()), 1);
  TreePtr unordered(tree_new(nullptr));
  EXPECT_EQ(tree_add(unordered.get(), first), nullptr);
}

TEST_F(CountedTreeTest, RelativeSearches) {
  for (int v : {10, 20, 30}) tree_add(tree_.get(), value(v));
  int position = -1;
  int key = 15;
  auto found = [&](int relation) {
    auto* element = static_cast<int*>(tree_find_relative(tree_.get(), &key, nullptr, relation, &position));
    return element ? *element : -1;
  };
  EXPECT_EQ(found(kTreeGreaterOrEqual), 20);
  EXPECT_EQ(position, 1);
  EXPECT_EQ(found(kTreeGreater), 20);
  EXPECT_EQ(found(kTreeLess), 10);
  EXPECT_EQ(found(kTreeLessOrEqual), 10);
  EXPECT_EQ(found(kTreeEqual), -1);
  key = 20;
  EXPECT_EQ(found(kTreeLess), 10);
  EXPECT_EQ(found(kTreeGreater), 30);
  EXPECT_EQ(position, 2);
  EXPECT_EQ(found(kTreeEqual), 20);
  key = 30;
  EXPECT_EQ(found(kTreeGreater), -1);
  key = 5;
  EXPECT_EQ(found(kTreeLess), -1);
  EXPECT_EQ(*static_cast<int*>(tree_find_relative(tree_.get(), nullptr, nullptr, kTreeLess, &position)), 30);
  EXPECT_EQ(position, 2);
  EXPECT_EQ(*static_cast<int*>(tree_find_relative(tree_.get(), nullptr, nullptr, kTreeGreater, &position)), 10);
}

// Random adds, deletions by key and by position, and every kind of search, checked against a
// sorted vector after each step.
TEST_F(CountedTreeTest, MatchesASortedVectorOverRandomOperations) {
  std::mt19937 random(12345);
  std::vector<int> model;
  for (int step = 0; step < 20000; ++step) {
    int key = static_cast<int>(random() % 600);
    auto lower = std::lower_bound(model.begin(), model.end(), key);
    bool present = lower != model.end() && *lower == key;
    switch (random() % 4) {
      case 0:
      case 1: {
        int* element = value(key);
        auto* result = static_cast<int*>(tree_add(tree_.get(), element));
        ASSERT_EQ(*result, key);
        ASSERT_EQ(result == element, !present);
        if (!present) model.insert(lower, key);
        break;
      }
      case 2: {
        auto* removed = static_cast<int*>(tree_delete(tree_.get(), &key));
        ASSERT_EQ(removed != nullptr, present);
        if (present) model.erase(lower);
        break;
      }
      default: {
        if (model.empty()) break;
        int position = static_cast<int>(random() % model.size());
        ASSERT_EQ(*static_cast<int*>(tree_delete_at(tree_.get(), position)), model[position]);
        model.erase(model.begin() + position);
        break;
      }
    }
    ASSERT_EQ(tree_count(tree_.get()), static_cast<int>(model.size()));
    int probe = static_cast<int>(random() % 620) - 10;
    auto at = std::lower_bound(model.begin(), model.end(), probe);
    long less = at - model.begin();
    bool equal = at != model.end() && *at == probe;
    long expected[5] = {equal ? less : -1, less - 1, equal ? less : less - 1, equal ? less + 1 : less, less};
    for (int relation = 0; relation < 5; ++relation) {
      int position = -1;
      auto* element = static_cast<int*>(tree_find_relative(tree_.get(), &probe, nullptr, relation, &position));
      long want = expected[relation];
      if (want < 0 || want >= static_cast<long>(model.size())) {
        ASSERT_EQ(element, nullptr) << "relation " << relation << " probe " << probe;
      } else {
        ASSERT_NE(element, nullptr) << "relation " << relation << " probe " << probe;
        ASSERT_EQ(*element, model[want]);
        ASSERT_EQ(position, want);
      }
    }
    if (step % 500 == 0) {
      expect_same(tree_.get(), model);
      expect_balanced(tree_.get());
    }
  }
  expect_same(tree_.get(), model);
  expect_balanced(tree_.get());
  while (tree_count(tree_.get()) > 0) tree_delete_at(tree_.get(), tree_count(tree_.get()) / 2);
  EXPECT_EQ(tree_.get()->root, nullptr);
}

}  // namespace
