#pragma once
// A balanced 2-3-4 tree whose nodes count the elements below them, so elements are reached by
// key and by position. It stores pointers only and never owns the elements.

using TreeCompare = int (*)(void* a, void* b);

struct TreeNode {
  TreeNode* parent;
  TreeNode* children[4];
  int child_counts[4];
  void* elements[3];
};

struct CountedTree {
  TreeNode* root;
  TreeCompare compare;
};

enum TreeRelation { kTreeEqual = 0, kTreeLess = 1, kTreeLessOrEqual = 2, kTreeGreater = 3, kTreeGreaterOrEqual = 4 };

CountedTree* tree_new(TreeCompare compare);
void tree_free(CountedTree* tree);
int tree_count(const CountedTree* tree);
// Inserts in order; when an equal element is present it is returned and nothing is inserted.
void* tree_add(CountedTree* tree, void* element);
void* tree_index(const CountedTree* tree, int position);
// With no element, kTreeLess gives the last element and kTreeGreater the first.
void* tree_find_relative(const CountedTree* tree, void* element, TreeCompare compare, int relation, int* position);
void* tree_find(const CountedTree* tree, void* element, TreeCompare compare);
void* tree_delete_at(CountedTree* tree, int position);
void* tree_delete(CountedTree* tree, void* element);
