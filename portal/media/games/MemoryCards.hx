import flash.display.Sprite;
import flash.events.Event;
import flash.events.MouseEvent;

/** Turn two cards over at a time and find the pairs of matching pictures. */
class MemoryCards extends Sprite {
	var cards:Array<Card> = [];
	var open:Array<Card> = [];
	var wait = 0;
	var found = 0;
	var frame = 0;
	var bubbles = new Sprite();
	var again:Sprite;

	public function new() {
		super();
		Kit.sky(graphics, 0xFFE3F1, 0xFFC2DE);
		addChild(bubbles);
		again = Kit.button("GO", 0x3CC47C, 120, 50, deal);
		again.x = (Kit.W - 120) / 2;
		again.y = Kit.H / 2 - 25;
		deal();
		addEventListener(Event.ENTER_FRAME, tick);
	}

	function deal() {
		for (c in cards)
			removeChild(c);
		if (again.parent != null)
			removeChild(again);
		cards = [];
		open = [];
		found = 0;
		var faces = [for (i in 0...12) i >> 1];
		for (i in 0...faces.length) {
			var j = Kit.rand(faces.length);
			var t = faces[i];
			faces[i] = faces[j];
			faces[j] = t;
		}
		for (i in 0...12) {
			var c = new Card(faces[i]);
			c.x = 95 + (i % 4) * 120;
			c.y = 75 + Std.int(i / 4) * 125;
			c.addEventListener(MouseEvent.CLICK, choose);
			addChild(c);
			cards.push(c);
		}
	}

	function choose(e:MouseEvent) {
		var c:Card = cast e.currentTarget;
		if (wait > 0 || c.shown || open.length >= 2)
			return;
		c.turn(true);
		open.push(c);
		if (open.length == 2)
			wait = open[0].face == open[1].face ? 12 : 30;
	}

	function tick(_) {
		frame++;
		var g = bubbles.graphics;
		g.clear();
		for (i in 0...9) {
			var y = Kit.H + 20 - ((frame * (1 + i % 3) + i * 97) % (Kit.H + 60));
			g.beginFill(0xFFFFFF, 0.5);
			g.drawCircle(30 + i * 62 + Math.sin((frame + i * 20) / 20) * 10, y, 8 + i % 4 * 3);
			g.endFill();
		}
		for (c in cards)
			c.step();
		if (wait > 0 && --wait == 0) {
			if (open[0].face == open[1].face) {
				for (c in open) {
					c.done();
					Kit.sparkle(this, c.x, c.y, 0xFF7AC6);
				}
				found++;
				if (found == 6) {
					addChild(again);
				}
			} else {
				for (c in open)
					c.turn(false);
			}
			open = [];
		}
	}

	static function main() {
		Kit.start(new MemoryCards());
	}
}

private class Card extends Sprite {
	public var face(default, null):Int;
	public var shown(default, null) = false;

	var target = false;
	var flip = 1.0; // scaleX runs 1 -> 0 -> 1 while turning
	var turning = false;
	var matched = false;

	public function new(face:Int) {
		super();
		this.face = face;
		buttonMode = true;
		draw();
	}

	public function turn(up:Bool) {
		target = up;
		turning = true;
	}

	public function done() {
		matched = true;
		buttonMode = false;
		draw();
	}

	public function step() {
		if (!turning)
			return;
		if (shown != target) {
			flip -= 0.2;
			if (flip <= 0) {
				flip = 0;
				shown = target;
				draw();
			}
		} else {
			flip += 0.2;
			if (flip >= 1) {
				flip = 1;
				turning = false;
			}
		}
		scaleX = flip;
	}

	function draw() {
		var g = graphics;
		g.clear();
		g.beginFill(0x000000, 0.15);
		g.drawRoundRect(-47, -52, 100, 110, 20, 20);
		g.endFill();
		if (!shown) {
			g.beginFill(0x7A5CFA);
			g.drawRoundRect(-50, -55, 100, 110, 20, 20);
			g.endFill();
			Kit.star(g, 0, 0, 22, 0xFFE45C);
			return;
		}
		g.beginFill(matched ? 0xFFF7C2 : 0xFFFFFF);
		g.drawRoundRect(-50, -55, 100, 110, 20, 20);
		g.endFill();
		var colour = Kit.colours[face];
		switch (face) {
			case 0:
				Kit.heart(g, 0, -5, 28, colour);
			case 1:
				Kit.star(g, 0, 0, 32, colour);
			case 2:
				Kit.smile(g, 0, 0, 30, colour);
			case 3:
				g.beginFill(colour);
				g.drawRoundRect(-28, -28, 56, 56, 14, 14);
				g.endFill();
			case 4:
				g.beginFill(colour);
				g.moveTo(0, -32);
				g.lineTo(32, 28);
				g.lineTo(-32, 28);
				g.endFill();
			default:
				g.beginFill(colour);
				g.drawCircle(0, 0, 30);
				g.endFill();
				g.beginFill(0xFFFFFF);
				g.drawCircle(0, 0, 14);
				g.endFill();
		}
	}
}
