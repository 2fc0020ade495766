import flash.display.Sprite;
import flash.events.Event;
import flash.events.MouseEvent;

/** Click the earth to plant a seed; watch it grow into a flower. */
class Garden extends Sprite {
	static inline var GROUND = 290;

	var flowers:Array<{s:Sprite, x:Float, age:Int, colour:Int, height:Float}> = [];
	var butterfly = new Sprite();
	var frame = 0;
	var sun = new Sprite();

	public function new() {
		super();
		Kit.sky(graphics, 0x9FD8FF, 0xE9F7FF);
		graphics.beginFill(0x8A5A3B);
		graphics.drawRect(0, GROUND, Kit.W, Kit.H - GROUND);
		graphics.endFill();
		graphics.beginFill(0x6CC24A);
		graphics.drawRect(0, GROUND - 8, Kit.W, 12);
		graphics.endFill();
		Kit.cloud(graphics, 60, 60);
		Kit.cloud(graphics, 250, 40, 0.8);
		Kit.star(sun.graphics, 0, 0, 48, 0xFFC93C);
		sun.graphics.beginFill(0xFFE45C);
		sun.graphics.drawCircle(0, 0, 30);
		sun.graphics.endFill();
		sun.x = 470;
		sun.y = 70;
		addChild(sun);
		addChild(butterfly);
		addEventListener(MouseEvent.MOUSE_DOWN, plant);
		addEventListener(Event.ENTER_FRAME, tick);
		for (x in [120, 330])
			sow(x, 200);
	}

	function plant(_) {
		if (mouseY < GROUND - 30)
			return;
		if (flowers.length >= 12) {
			var old = flowers.shift();
			removeChild(old.s);
		}
		sow(mouseX, 0);
	}

	function sow(x:Float, age:Int) {
		var s = new Sprite();
		s.mouseEnabled = false;
		addChildAt(s, numChildren - 1);
		flowers.push({s: s, x: x, age: age, colour: Kit.pick(Kit.colours), height: 90 + Kit.rand(90)});
	}

	function tick(_) {
		frame++;
		sun.rotation += 0.5;
		for (f in flowers) {
			if (f.age < 200)
				f.age++;
			var g = f.s.graphics;
			g.clear();
			g.beginFill(0x5A3A22);
			g.drawEllipse(f.x - 8, GROUND - 2, 16, 8);
			g.endFill();
			var grow = Math.min(1, f.age / 120);
			var top = GROUND - f.height * grow;
			var sway = Math.sin((frame + f.x) / 30) * 6 * grow;
			g.lineStyle(5, 0x3FA34D);
			g.moveTo(f.x, GROUND);
			g.curveTo(f.x, (GROUND + top) / 2, f.x + sway, top);
			g.lineStyle();
			if (grow > 0.4) {
				g.beginFill(0x3FA34D);
				g.drawEllipse(f.x, (GROUND + top) / 2, 24 * grow, 10 * grow);
				g.endFill();
			}
			var bloom = Math.max(0, (f.age - 120) / 80);
			if (bloom > 0) {
				for (k in 0...6) {
					var a = k * Math.PI / 3 + frame / 100;
					g.beginFill(f.colour);
					g.drawCircle(f.x + sway + Math.cos(a) * 16 * bloom, top + Math.sin(a) * 16 * bloom, 11 * bloom);
					g.endFill();
				}
				g.beginFill(0xFFE45C);
				g.drawCircle(f.x + sway, top, 9 * bloom);
				g.endFill();
			} else if (grow > 0.6) {
				g.beginFill(f.colour);
				g.drawEllipse(f.x + sway - 6, top - 14, 12, 18);
				g.endFill();
			}
		}
		var bx = 275 + Math.sin(frame / 70) * 220, by = 150 + Math.sin(frame / 23) * 50;
		var flap = Math.abs(Math.sin(frame / 3));
		var g = butterfly.graphics;
		g.clear();
		Kit.fillEach(g, 0xFF7AC6, [
			function(g) g.drawEllipse(bx - 22 * flap, by - 16, 22 * flap, 18),
			function(g) g.drawEllipse(bx, by - 16, 22 * flap, 18),
			function(g) g.drawEllipse(bx - 15 * flap, by, 15 * flap, 12),
			function(g) g.drawEllipse(bx, by, 15 * flap, 12)
		]);
		g.beginFill(0x333333);
		g.drawEllipse(bx - 3, by - 14, 6, 28);
		g.endFill();
	}

	static function main() {
		Kit.start(new Garden());
	}
}
