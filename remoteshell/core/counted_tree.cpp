#include "remoteshell/core/counted_tree.h"

#include <cstring>

#include "base/memory.h"

namespace {

TreeNode* node_new() {
  auto* node = checked_new_array<TreeNode>(1);
  std::memset(node, 0, sizeof *node);
  return node;
}

int element_count(const TreeNode* node) {
  int count = 0;
  while (count < 3 && node->elements[count] != nullptr) ++count;
  return count;
}

bool is_leaf(const TreeNode* node) { return node->children[0] == nullptr; }

int subtree_count(const TreeNode* node) {
  if (node == nullptr) return 0;
  return node->child_counts[0] + node->child_counts[1] + node->child_counts[2] + node->child_counts[3] +
         element_count(node);
}

int slot_in_parent(const TreeNode* node) {
  int slot = 0;
  while (node->parent->children[slot] != node) ++slot;
  return slot;
}

// Recomputes a node's child counts from its children and adopts them.
void recount(TreeNode* node) {
  for (int i = 0; i < 4; ++i) {
    node->child_counts[i] = subtree_count(node->children[i]);
    if (node->children[i] != nullptr) node->children[i]->parent = node;
  }
}

void fix_counts_upwards(TreeNode* node) {
  for (; node != nullptr && node->parent != nullptr; node = node->parent)
    node->parent->child_counts[slot_in_parent(node)] = subtree_count(node);
}

void free_subtree(TreeNode* node) {
  if (node == nullptr) return;
  for (TreeNode* child : node->children) free_subtree(child);
  checked_free(node);
}

// Puts element into node between children[slot] (now left) and a new child right; splits
// upwards while a node would hold four elements.
void insert_into(CountedTree* tree, TreeNode* node, int slot, void* element, TreeNode* left, TreeNode* right) {
  for (;;) {
    int count = element_count(node);
    void* elements[4];
    TreeNode* children[5];
    for (int i = 0, j = 0; i <= count; ++i, ++j) {
      if (i == slot) {
        elements[j] = element;
        children[j] = left;
        children[++j] = right;
        if (i < count) elements[j] = node->elements[i];
      } else {
        children[j] = node->children[i];
        if (i < count) elements[j] = node->elements[i];
      }
    }
    std::memset(node->children, 0, sizeof node->children);
    std::memset(node->elements, 0, sizeof node->elements);
    if (count + 1 <= 3) {
      for (int i = 0; i <= count + 1; ++i) node->children[i] = children[i];
      for (int i = 0; i < count + 1; ++i) node->elements[i] = elements[i];
      recount(node);
      fix_counts_upwards(node);
      return;
    }
    // Four elements: keep two here, move one to a new right node, pass the third up.
    TreeNode* sibling = node_new();
    node->elements[0] = elements[0];
    node->elements[1] = elements[1];
    for (int i = 0; i < 3; ++i) node->children[i] = children[i];
    sibling->elements[0] = elements[3];
    sibling->children[0] = children[3];
    sibling->children[1] = children[4];
    recount(node);
    recount(sibling);
    if (node->parent == nullptr) {
      TreeNode* root = node_new();
      root->elements[0] = elements[2];
      root->children[0] = node;
      root->children[1] = sibling;
      recount(root);
      tree->root = root;
      return;
    }
    TreeNode* parent = node->parent;
    slot = slot_in_parent(node);
    element = elements[2];
    left = node;
    right = sibling;
    node = parent;
  }
}

void remove_element(TreeNode* node, int index, int child_to_drop) {
  int count = element_count(node);
  for (int i = index; i + 1 < count; ++i) node->elements[i] = node->elements[i + 1];
  node->elements[count - 1] = nullptr;
  for (int i = child_to_drop; i + 1 < 4; ++i) node->children[i] = node->children[i + 1];
  node->children[3] = nullptr;
  recount(node);
}

// Merges children[slot], elements[slot] and children[slot + 1] into children[slot]; both
// children hold one element. Returns the merged child.
TreeNode* merge_children(CountedTree* tree, TreeNode* node, int slot) {
  TreeNode* left = node->children[slot];
  TreeNode* right = node->children[slot + 1];
  left->elements[1] = node->elements[slot];
  left->elements[2] = right->elements[0];
  left->children[2] = right->children[0];
  left->children[3] = right->children[1];
  recount(left);
  checked_free(right);
  remove_element(node, slot, slot + 1);
  if (node == tree->root && element_count(node) == 0) {
    tree->root = left;
    left->parent = nullptr;
    checked_free(node);
  }
  return left;
}

// Makes sure children[slot] holds two elements before the deletion steps into it. Returns the
// child to step into and adjusts the position within it.
TreeNode* strengthen_child(CountedTree* tree, TreeNode* node, int slot, int* position) {
  TreeNode* child = node->children[slot];
  if (element_count(child) >= 2) return child;
  int count = element_count(node);
  TreeNode* left = slot > 0 ? node->children[slot - 1] : nullptr;
  TreeNode* right = slot < count ? node->children[slot + 1] : nullptr;
  if (left != nullptr && element_count(left) >= 2) {
    int left_count = element_count(left);
    TreeNode* moved = left->children[left_count];
    child->elements[1] = child->elements[0];
    child->elements[0] = node->elements[slot - 1];
    child->children[2] = child->children[1];
    child->children[1] = child->children[0];
    child->children[0] = moved;
    node->elements[slot - 1] = left->elements[left_count - 1];
    left->elements[left_count - 1] = nullptr;
    left->children[left_count] = nullptr;
    recount(left);
    recount(child);
    recount(node);
    *position += subtree_count(moved) + 1;
    return child;
  }
  if (right != nullptr && element_count(right) >= 2) {
    child->elements[1] = node->elements[slot];
    child->children[2] = right->children[0];
    node->elements[slot] = right->elements[0];
    remove_element(right, 0, 0);
    recount(child);
    recount(node);
    return child;
  }
  if (left != nullptr) {
    *position += subtree_count(left) + 1;
    return merge_children(tree, node, slot - 1);
  }
  return merge_children(tree, node, slot);
}

void* delete_in_subtree(CountedTree* tree, TreeNode* node, int position) {
  for (;;) {
    int count = element_count(node);
    if (is_leaf(node)) {
      void* element = node->elements[position];
      remove_element(node, position, 3);
      if (node == tree->root && element_count(node) == 0) {
        checked_free(node);
        tree->root = nullptr;
      } else {
        fix_counts_upwards(node);
      }
      return element;
    }
    int slot = 0;
    while (slot < count && position > node->child_counts[slot]) {
      position -= node->child_counts[slot] + 1;
      ++slot;
    }
    if (slot < count && position == node->child_counts[slot]) {
      // The element sits in this inner node: replace it by a neighbour from a leaf.
      void* element = node->elements[slot];
      TreeNode* left = node->children[slot];
      TreeNode* right = node->children[slot + 1];
      if (element_count(left) >= 2) {
        node->elements[slot] = delete_in_subtree(tree, left, subtree_count(left) - 1);
        return element;
      }
      if (element_count(right) >= 2) {
        node->elements[slot] = delete_in_subtree(tree, right, 0);
        return element;
      }
      position = subtree_count(left);
      node = merge_children(tree, node, slot);
      continue;
    }
    node = strengthen_child(tree, node, slot, &position);
  }
}

}  // namespace

CountedTree* tree_new(TreeCompare compare) {
  auto* tree = checked_new_array<CountedTree>(1);
  tree->root = nullptr;
  tree->compare = compare;
  return tree;
}

void tree_free(CountedTree* tree) {
  if (tree == nullptr) return;
  free_subtree(tree->root);
  checked_free(tree);
}

int tree_count(const CountedTree* tree) { return subtree_count(tree->root); }

void* tree_add(CountedTree* tree, void* element) {
  if (tree->compare == nullptr) return nullptr;
  if (tree->root == nullptr) {
    tree->root = node_new();
    tree->root->elements[0] = element;
    return element;
  }
  TreeNode* node = tree->root;
  for (;;) {
    int count = element_count(node);
    int slot = 0;
    for (; slot < count; ++slot) {
      int order = tree->compare(element, node->elements[slot]);
      if (order == 0) return node->elements[slot];
      if (order < 0) break;
    }
    if (is_leaf(node)) {
      insert_into(tree, node, slot, element, nullptr, nullptr);
      return element;
    }
    node = node->children[slot];
  }
}

void* tree_index(const CountedTree* tree, int position) {
  if (position < 0 || position >= tree_count(tree)) return nullptr;
  const TreeNode* node = tree->root;
  for (;;) {
    int count = element_count(node);
    int slot = 0;
    while (slot < count && position > node->child_counts[slot]) {
      position -= node->child_counts[slot] + 1;
      ++slot;
    }
    if (slot < count && position == node->child_counts[slot]) return node->elements[slot];
    node = node->children[slot];
  }
}

void* tree_find_relative(const CountedTree* tree, void* element, TreeCompare compare, int relation, int* position) {
  int total = tree_count(tree);
  int found = -1;
  if (element == nullptr) {
    if (relation == kTreeLess)
      found = total - 1;
    else if (relation == kTreeGreater)
      found = 0;
  } else {
    if (compare == nullptr) compare = tree->compare;
    int less = 0;
    bool equal = false;
    const TreeNode* node = tree->root;
    while (node != nullptr && !equal) {
      int count = element_count(node);
      int slot = 0;
      for (; slot < count; ++slot) {
        int order = compare(element, node->elements[slot]);
        if (order < 0) break;
        less += node->child_counts[slot];
        if (order == 0) {
          equal = true;
          break;
        }
        less += 1;
      }
      if (!equal) node = node->children[slot];
    }
    switch (relation) {
      case kTreeEqual: found = equal ? less : -1; break;
      case kTreeLess: found = less - 1; break;
      case kTreeLessOrEqual: found = equal ? less : less - 1; break;
      case kTreeGreater: found = equal ? less + 1 : less; break;
      case kTreeGreaterOrEqual: found = less; break;
      default: break;
    }
  }
  void* result = (found >= 0 && found < total) ? tree_index(tree, found) : nullptr;
  if (result != nullptr && position != nullptr) *position = found;
  return result;
}

void* tree_find(const CountedTree* tree, void* element, TreeCompare compare) {
  return tree_find_relative(tree, element, compare, kTreeEqual, nullptr);
}

void* tree_delete_at(CountedTree* tree, int position) {
  if (position < 0 || position >= tree_count(tree)) return nullptr;
  return delete_in_subtree(tree, tree->root, position);
}

void* tree_delete(CountedTree* tree, void* element) {
  int position = 0;
  if (tree_find_relative(tree, element, nullptr, kTreeEqual, &position) == nullptr) return nullptr;
  return tree_delete_at(tree, position);
}
