// Display-node extension bases of the navigator.
//
// The navigator draws every model node as a KelNavigInstance. When the
// instance is created, the navigator asks the extension registry for the
// factory of the controller's node type ("MML_node" in the link graph) and
// attaches the display node it makes; every arc gets an extension of the
// controller's arc type ("MML_arc"). The navigator then calls the extension
// back:
//   - UpdateTextElem and UpdateElem when the node is drawn and at every
//     refresh of the container (texts first, then colours);
//   - ProcessAfterExpand when the user toggles the node;
//   - ProcessAfterSelect / ProcessAfterExtSelect when the user selects it
//     (alone / added to the selection);
//   - ProcessAfterMethod when the user asks for the node's methods;
//   - ProcessAfterAction after an action ran on the node.
// The base implementations give the plain navigator behaviour.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <new>
#include <string>

#include "host/graph/kel_i_graph_node.h"
#include "host/navigator/kel_i_navig_node_ctrl.h"

class KelNavigInstance;
class KelNavigContainer;
class KelNavigController;

class KelNodeExtension {
 public:
  virtual ~KelNodeExtension() = default;

  // ---- KelINavigModify ----

  // The instance is drawn or refreshed: its colours and decorations (base:
  // the model node's CustomGraphNode on the instance's graph node).
  virtual void UpdateElem(KelNavigInstance* instance);
  // Its texts (base: the model node's UpdateTextElem).
  virtual void UpdateTextElem(KelNavigInstance* instance);
  // Adds the node to the highlighted set (or removes it).
  virtual void Select(bool select);
  virtual bool IsSelected() const;

  // ---- KelINavigElement ----

  // Redraws the node: UpdateTextElem, then UpdateElem.
  virtual void Update();
  // Takes the node out of the highlighted and preselected sets.
  virtual void Remove();
  virtual KelNavigContainer* GetFatherContainer() const;
  virtual KelINavigNodeCtrl* GetController() const;
  virtual void ProcessAfterSelect() {}
  virtual void ProcessAfterExtSelect() {}
  virtual void ProcessAfterAction() {}
  // Base: close the node when it is open, else open it by the controller's depth.
  virtual void ProcessAfterExpand();
  virtual void ProcessAfterMethod() {}
  virtual KelNavigInstance* GetAssociatedInstance() const { return attached_; }
  virtual void SetMarked(int marked) { marked_ = marked; }
  virtual int GetMarked() const { return marked_; }

  // The graph node of the decorated instance (null before attachment).
  KelIGraphNode* GetGraphNode() const;

 protected:
  KelNavigInstance* Attached() const { return attached_; }
  void Attach(KelNavigInstance* instance) { attached_ = instance; }

 private:
  friend class KelNavigInstance;
  KelNavigInstance* attached_ = nullptr;  // set by the navigator at creation
  int marked_ = 0;
};

class KelLinkExtension {
 public:
  virtual ~KelLinkExtension() = default;

  // The arc is drawn or refreshed; `to` is the instance the arc reaches.
  virtual void UpdateElem(KelNavigInstance* to) { (void)to; }
  virtual void Select(bool select) { selected_ = select; }
  virtual bool IsSelected() const { return selected_; }

  // The drawn arc.
  KelIGraphLink* GetGraphLink() const { return arc_; }

 private:
  friend class KelNavigInstance;
  KelIGraphLink* arc_ = nullptr;  // set by the navigator at creation
  bool selected_ = false;
};

// Factories of extensions by node type. A type without a factory draws its
// nodes (or arcs) without extension.
class KelNavigExtensionRegistry {
 public:
  using NodeFactory = std::function<std::unique_ptr<KelNodeExtension>()>;
  using LinkFactory = std::function<std::unique_ptr<KelLinkExtension>()>;
  // Builds a display node in the space it is given, its KelNodeExtension part
  // at the start; null (nothing built, the node is then allocated) when that part lies
  // elsewhere.
  using InPlaceNodeFactory = KelNodeExtension* (*)(void* space);
  // The room every instance keeps for a display node built in place.
  static constexpr std::size_t kInPlaceNodeBytes = 24;

  static void RegisterNodeType(const std::string& type, NodeFactory factory);
  // Display nodes of type T are built inside the navigator's instance: a
  // whole-depth graph saves an allocation per drawn node.
  template <typename T>
  static void RegisterInPlaceNodeType(const std::string& type) {
    static_assert(sizeof(T) <= kInPlaceNodeBytes && alignof(void*) % alignof(T) == 0, "too large to be built in place");
    RegisterInPlace(
        type,
        [](void* space) -> KelNodeExtension* {
          T* node = new (space) T();
          // The instance finds a node built in place at the start of its room.
          if (static_cast<void*>(static_cast<KelNodeExtension*>(node)) == space) return node;
          node->~T();
          return nullptr;
        },
        [] { return std::make_unique<T>(); });
  }
  static void RegisterLinkType(const std::string& type, LinkFactory factory);
  // A display node of `type`: built in `space` (kInPlaceNodeBytes bytes,
  // aligned for a pointer, its KelNodeExtension part at the start) when the
  // type was registered in place, and `inPlace` tells so; else allocated.
  // Null for a type without factory.
  static KelNodeExtension* CreateNode(const std::string& type, void* space, bool* inPlace);
  static std::unique_ptr<KelLinkExtension> CreateLink(const std::string& type);

 private:
  // `factory` builds in place, `allocated` where that cannot be.
  static void RegisterInPlace(const std::string& type, InPlaceNodeFactory factory, NodeFactory allocated);
};
